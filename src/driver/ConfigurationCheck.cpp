#include "driver/ConfigurationCheck.h"

#include "config/CommandTable.h"
#include "config/XmlParser.h"
#include "dispatch/Dispatcher.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace {

using Reason = SkippedPart::Reason;

// Hears the parse and keeps, by line, what it built and what it left out.
class CheckObserver final : public ParseObserver {
public:
    explicit CheckObserver(const ConfigurationText& configuration) : encoding_(configuration.encoding) {
        const std::string& text = configuration.bytes;
        for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
            lineEnds_.push_back(at);
        }
    }

    void dropped(Dropped what, std::size_t position, std::string_view text) override {
        static const std::unordered_map<Dropped, Reason> reasons{
            {Dropped::unterminatedComment, Reason::unterminatedComment},
            {Dropped::unrecognisedTag, Reason::unrecognisedTag},
            {Dropped::strayEndTag, Reason::strayEndTag},
            {Dropped::strayText, Reason::strayText},
            {Dropped::unclosedElement, Reason::unclosedElement},
            {Dropped::valueOutsideElement, Reason::valueOutsideElement},
            {Dropped::replacedElement, Reason::replacedElement},
        };
        std::wstring subject = decodeText(text, encoding_);
        if (what == Dropped::unclosedElement || what == Dropped::valueOutsideElement ||
            what == Dropped::replacedElement) {
            subject = L"<" + subject + L">";
        }
        skipped.push_back({line(position), position, reasons.at(what), shortened(subject)});
    }

    void valueBuilt(const XmlNodeValue& value, std::size_t position) override { positions_[&value] = position; }

    std::size_t positionOf(const XmlNodeValue& value) const { return positions_.at(&value); }

    std::size_t line(std::size_t position) const {
        return 1 + static_cast<std::size_t>(std::lower_bound(lineEnds_.begin(), lineEnds_.end(), position) -
                                            lineEnds_.begin());
    }

    std::vector<SkippedPart> skipped;

private:
    // Dropped text can be long; the operator needs only enough to find it.
    static std::wstring shortened(const std::wstring& text) {
        constexpr std::size_t shown = 60;
        const std::wstring visible = visibleText(text);
        return visible.size() <= shown ? visible : visible.substr(0, shown) + L"...";
    }

    TextEncoding encoding_;
    std::vector<std::size_t> lineEnds_;
    std::unordered_map<const XmlNodeValue*, std::size_t> positions_;
};

Reason reasonOf(CommandTable::Placement placement) {
    switch (placement) {
    case CommandTable::Placement::wrongCategory: return Reason::wrongCategory;
    case CommandTable::Placement::outsideCategory: return Reason::outsideCategory;
    default: return Reason::unknownFunction;
    }
}

}  // namespace

ConfigurationCheck checkConfiguration(ConfigurationText text) {
    CheckObserver observer(text);
    const auto root = XmlParser().parse(std::move(text), &observer);
    ConfigurationCheck check;
    check.skipped = std::move(observer.skipped);
    if (root) {
        check.hasRoot = true;
        const CommandTable commands;
        forEachRequest(*root, [&](const std::wstring& category, const XmlNodeValue& value) {
            const std::size_t position = observer.positionOf(value);
            const std::size_t line = observer.line(position);
            const auto placement = CommandTable::placement(commands.lookup(category), commands.lookup(value.getName()));
            if (placement == CommandTable::Placement::served) {
                check.served.push_back({line, category, value.getName(), value.getText()});
                return;
            }
            std::wstring subject = L"<" + category + L"><" + value.getName() + L">";
            Reason reason = reasonOf(placement);
            if (placement == CommandTable::Placement::wrongCategory) {
                const int required = CommandTable::categoryOf(commands.lookup(value.getName()));
                subject += L" (gehoert in <" + commands.name(required) + L">)";
            } else if (value.getText().find(L'<') != std::wstring::npos) {
                // An element whose tags were not recognised is read as a value holding them.
                reason = Reason::unrecognisedContent;
            }
            check.skipped.push_back({line, position, reason, subject});
        });
    }
    std::stable_sort(check.skipped.begin(), check.skipped.end(),
                     [](const SkippedPart& a, const SkippedPart& b) { return a.position < b.position; });
    return check;
}

const std::wstring& reasonText(Reason reason) {
    static const std::array<std::wstring, 11> texts{
        L"unbekannte Funktion",
        L"der Inhalt hat kein gueltiges Start-Tag (Attribute, Ziffern oder Sonderzeichen im Namen) und wird als "
        L"Wert gelesen",
        L"die Funktion gehoert zu einer anderen Kategorie",
        L"die Anfrage steht in keiner Kategorie",
        L"kein gueltiges Start-Tag (Attribute, Ziffern oder Sonderzeichen im Namen); es wird uebergangen",
        L"End-Tag ohne passendes Start-Tag; es wird uebergangen",
        L"Text ausserhalb einer Anfrage; er wird uebergangen",
        L"Element ohne End-Tag; der Rest des umgebenden Elements wird uebersprungen",
        L"Anfrage ausserhalb jedes Elements",
        L"nur das letzte Element der obersten Ebene mit Unterelementen wird ausgefuehrt; dieses nicht",
        L"Kommentar ohne Ende; der Rest der Datei wird uebersprungen",
    };
    return texts.at(static_cast<std::size_t>(reason));
}

std::wstring visibleText(const std::wstring& text) {
    std::wstring visible;
    visible.reserve(text.size());
    for (const wchar_t c : text) {
        if (c == L'\n') {
            visible += L"\\n";
        } else if (c == L'\t') {
            visible += L"\\t";
        } else if (c < 0x20 || c == 0x7F) {
            static const wchar_t digits[] = L"0123456789ABCDEF";
            visible += L"\\x";
            visible += digits[(c >> 4) & 0xF];
            visible += digits[c & 0xF];
        } else {
            visible += c;
        }
    }
    return visible;
}
