#pragma once
#include "report-tool/ReportTool.h"
#include "seal/SealedFile.h"

#include <memory>
#include <string>
#include <vector>

namespace reporttool {

// "--key FILE" and "--key-pass-file FILE", which every reading command takes.
struct KeyOptions {
    std::string keyFile;
    std::string passphraseFile;
};

// Takes the key option at ARGUMENT (and its value after it); false when ARGUMENT is none.
bool takeKeyOption(std::vector<std::string>::const_iterator& argument, std::vector<std::string>::const_iterator end,
                   KeyOptions& options);

// Support's private key for the sealed inputs of one command, loaded once;
// without --key sealed inputs are refused with a hint.
class SealKey {
public:
    // Throws report::ReportError when the key cannot be loaded.
    SealKey(const KeyOptions& options, ToolEnvironment& environment);
    const seal::Opener* opener() const { return &opener_; }

private:
    std::unique_ptr<platform::PrivateKey> key_;
    seal::Opener opener_;
};

// "seal ARCHIVE CERTIFICATE -o OUT": OUT must not exist.
int sealArchive(const std::string& archive, const std::string& certificate, const std::string& output,
                ToolEnvironment& environment);

}  // namespace reporttool
