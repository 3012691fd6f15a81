#include "archive/PackReport.h"

#include "archive/EngineLibrary.h"
#include "archive/SevenZipCompressor.h"
#include "archive/SevenZipException.h"

namespace SevenZip {

bool packReport(const std::wstring& intermediatePath, platform::DynamicLibraries& libraries,
                platform::FileStreams& files, platform::Console& console) {
    EngineLibrary library(libraries);
    try {
        library.load(libraries.engineFileName());
        const std::wstring archivePath = intermediatePath.substr(0, intermediatePath.rfind(L'.') + 1) + L"tavisk";
        SevenZipCompressor(library, archivePath, files).compressFile(intermediatePath);
        library.release();
        return true;
    } catch (const SevenZipException&) {
        console.writeNarrowError("Problem beim Komprimieren! Bitte wenden Sie sich an den Hersteller!\n");
        console.writeNarrowOutput("Bitte druecken Sie die Eingabe-Taste um fort zu fahren!\n");
        console.readCharacter();
        library.release();
        return false;
    }
}

}  // namespace SevenZip
