#include "driver/Run.h"

#include "fakes/FakeArchivePlatform.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const std::wstring banner =
    L"Velmora Tavisk\nCopyright (c) Velmora. Alle Rechte vorbehalten.\nKomprimierung: 7-Zip 9.20\n" +
    std::wstring(80, L'-') + L"\n";
const std::wstring prompt = L"\n<ENTER> um zu beenden\n";
const std::string configuration = "<config><File><getFile>none</getFile></File></config>";

const std::wstring packingFailed = L"Bitte druecken Sie die Eingabe-Taste um fort zu fahren!\n";

struct Run : ::testing::Test {
    Run() { fakeEngineJob = &job; }
    ~Run() override { fakeEngineJob = nullptr; }

    int start(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "C:\\Tools\\tavisk.exe");
        RunEnvironment environment{host, console, files, collectors, libraries};
        return run(arguments, environment);
    }

    FakeHost host;
    FakeConsole console;
    FakeFileSystem files;
    RecordingCollectors collectors;
    FakeDynamicLibraries libraries;
    FakeEngineJob job;
    // The item names the engine was given.
    std::vector<std::wstring>& packed = job.itemPaths;
};

}  // namespace

TEST_F(Run, DefaultsBesideTheExecutableWithComputerNameAndMinuteStamp) {
    files.files[L"C:\\Tools\\standard.xml"] = configuration;
    EXPECT_EQ(start({}), 0);
    EXPECT_EQ(console.output, banner + L"Konfigurationsdatei:\tC:\\Tools\\standard.xml\n"
                                       L"Daten werden ermittelt: Bitte warten...beendet!\n"
                                       L"Ausgabedatei:\t\tC:\\Tools\\PC01_201504301405.tavisk\n" + prompt);
    EXPECT_EQ(console.charactersRead, 1);
    EXPECT_EQ(packed, std::vector<std::wstring>{L"C:\\Tools\\PC01_201504301405.xml"});
    EXPECT_EQ(files.files.at(L"C:\\Tools\\PC01_201504301405.tavisk").substr(0, 4), "FAKE");
    EXPECT_TRUE(files.own.empty());
}

// Without an archive the report is kept: under its expected name where that is
// free, else under its private one; nothing is ever written over.
TEST_F(Run, AFailedPackingKeepsTheReportAndTouchesNothingElse) {
    files.files[L"c:\\out\\c.xml"] = configuration;
    files.files[L"c:\\out\\r.tavisk"] = "older archive";
    libraries.hasCreateObject = false;
    EXPECT_EQ(start({"/source", "c:\\out\\c.xml", "/dest", "c:\\out\\r.tavisk"}), -1);
    EXPECT_EQ(console.output, banner + L"Konfigurationsdatei:\tc:\\out\\c.xml\n"
                                       L"Daten werden ermittelt: Bitte warten...beendet!\n" + packingFailed +
                                  L"Ausgabedatei:\t\tc:\\out\\r.tavisk\nBericht:\t\tc:\\out\\r.xml\n" + prompt);
    EXPECT_EQ(files.files.at(L"c:\\out\\r.tavisk"), "older archive");
    EXPECT_EQ(files.files.at(L"c:\\out\\r.xml").substr(0, 21), "<?xml version=\"1.0\"?>");

    console.output.clear();
    files.files[L"c:\\out\\r.xml"] = "someone's";
    EXPECT_EQ(start({"/source", "c:\\out\\c.xml", "/dest", "c:\\out\\r.tavisk"}), -1);
    EXPECT_NE(console.output.find(L"Bericht:\t\tc:\\out\\own3.tmp\n"), std::wstring::npos) << console.output;
    EXPECT_EQ(files.files.at(L"c:\\out\\r.xml"), "someone's");
    EXPECT_TRUE(files.own.empty());

    // A destination taken by a folder: the packing succeeded, the rename failed, and the run says which.
    libraries.hasCreateObject = true;
    console.output.clear();
    files.directories.insert(L"c:\\out\\d.tavisk");
    EXPECT_EQ(start({"/source", "c:\\out\\c.xml", "/dest", "c:\\out\\d.tavisk"}), -1);
    EXPECT_NE(console.output.find(L"beendet!\nDas Archiv konnte nicht unter dem Namen der Ausgabedatei abgelegt "
                                  L"werden: message 80\nAusgabedatei:\t\tc:\\out\\d.tavisk\n"
                                  L"Bericht:\t\tc:\\out\\d.xml\n"),
              std::wstring::npos)
        << console.output;
    EXPECT_EQ(files.files.count(L"c:\\out\\d.xml"), 1u);
    EXPECT_TRUE(files.own.empty());
}

TEST_F(Run, HelpEndsTheRunBeforeAnyFileIsRead) {
    for (const auto& arguments : {std::vector<std::string>{"x", "/?"}, {"/source", "a.xml", "/?", "/source"}}) {
        console.output.clear();
        EXPECT_EQ(start(arguments), 0);
        EXPECT_EQ(console.output,
                  banner +
                      L"/source [Pfadangabe]\tPfadangabe zur Konfigurationsdatei. Dies ist zwingend erforderlich\n"
                      L"/dest [Pfadangabe]\tPfadangabe zur Ausgabedatei. Wenn nicht angegeben wird eine "
                      L"\"Datum-Uhrzeit.txt\" im Verzeichnis VelmoraUMS\\log angelegt.\n"
                      L"/?\tzeigt die Hilfe an.\n"
                      L"/check\tprueft die Konfigurationsdatei und zeigt, welche Anfragen ausgefuehrt werden; "
                      L"ermittelt keine Daten.\n"
                      L"/seal [Pfadangabe]\tversiegelt die Ausgabedatei mit dem Zertifikat des Supports (PEM oder "
                      L"DER); geschrieben wird nur die Datei mit der Endung .p7m.\n" + prompt);
    }
    EXPECT_TRUE(packed.empty());
}

TEST_F(Run, ArgumentFailuresEndWithStatusMinusOne) {
    EXPECT_EQ(start({"/source", "a.xml", "/dest"}), -1);
    EXPECT_EQ(console.output, banner + L"Es fehlt eine Pfadangabe in der Uebergabe!\n" + prompt);
    console.output.clear();
    EXPECT_EQ(start({"/source", "caf\xE9.xml"}), -1);
    EXPECT_EQ(console.output,
              banner + L"Es ist ein unbekannter Fehler aufgetreten, wenden Sie sich bitte an den Support.\n" + prompt);
    console.output.clear();
    EXPECT_EQ(start({"ignored\xFF"}), -1);
}

TEST_F(Run, TheArgumentAfterASwitchIsExaminedToo) {
    files.files[L"/dest"] = configuration;
    EXPECT_EQ(start({"/source", "/dest", "x.tavisk"}), 0);
    EXPECT_EQ(packed, std::vector<std::wstring>{L"c:\\work\\x.xml"});
    EXPECT_NE(console.output.find(L"Konfigurationsdatei:\t/dest\n"), std::wstring::npos);
}

TEST_F(Run, PathsAreLowerCasedWhereFileNamesIgnoreCase) {
    files.files[L"c:\\conf\\my.xml"] = configuration;
    EXPECT_EQ(start({"/SOURCE", "x", "/source", "C:\\Conf\\My.XML", "/dest", "D:\\Out\\Report.TAVISK"}), 0);
    EXPECT_EQ(packed, std::vector<std::wstring>{L"d:\\out\\report.xml"});

    files.caseInsensitive = false;
    packed.clear();
    files.files[L"C:\\Conf\\My.XML"] = configuration;
    EXPECT_EQ(start({"/source", "C:\\Conf\\My.XML", "/dest", "D:\\Out\\R.tavisk"}), 0);
    EXPECT_EQ(packed, std::vector<std::wstring>{L"D:\\Out\\R.xml"});
}

TEST_F(Run, DestinationsNotEndingInTheExtensionArePrefixes) {
    files.files[L"C:\\Tools\\standard.xml"] = configuration;
    host.computer.reset();
    host.local->minute = 5;
    for (const char* destination : {"c:\\out\\", "c:\\out\\x.txt", ".tavisk", "c:\\a.tavisk\\b.tavisk"}) {
        start({"/dest", destination});
    }
    // A computer name holding separators or ".." stays one name in the destination folder.
    host.computer = L"a/..\\b:c";
    start({"/dest", "c:\\out\\"});
    EXPECT_EQ(packed, (std::vector<std::wstring>{L"c:\\out\\Tavisk_201504301405.xml",
                                                 L"c:\\out\\x.txtTavisk_201504301405.xml",
                                                 L"c:\\work\\.taviskTavisk_201504301405.xml",
                                                 L"c:\\a.tavisk\\b.xml", L"c:\\out\\a____b_c_201504301405.xml"}));
    // Only the trailing extension counts: the archive goes exactly where asked.
    EXPECT_NE(console.output.find(L"Ausgabedatei:\t\tc:\\a.tavisk\\b.tavisk\n"), std::wstring::npos);
}

TEST_F(Run, UnreadableClockNeedsAFullDestination) {
    files.files[L"C:\\Tools\\standard.xml"] = configuration;
    host.clock.reset();
    EXPECT_EQ(start({}), -1);
    EXPECT_EQ(console.output, banner +
                                  L"Ein Fehler beim Zugriff auf die System Zeit ist aufgetreten, um dies zu vermeiden, "
                                  L"geben Sie bitte /dest an\n" + prompt);
    EXPECT_EQ(start({"/dest", "r.tavisk"}), 0);
}

TEST_F(Run, ConfigurationProblemsEndAtThePromptWithStatusZero) {
    EXPECT_EQ(start({"/source", "missing.xml", "/dest", "r.tavisk"}), 0);
    EXPECT_EQ(console.output, banner + L"Die Konfigurationsdatei konnte nicht geoeffnet werden!\n" + prompt);
    console.output.clear();
    files.files[L"flat.xml"] = "<getKey>X</getKey>";
    EXPECT_EQ(start({"/source", "flat.xml", "/dest", "r.tavisk"}), 0);
    EXPECT_EQ(console.output, banner + L"Konfigurationsdatei:\tflat.xml\n" + prompt);
    EXPECT_EQ(files.files.count(L"r.xml"), 0u);
    EXPECT_TRUE(packed.empty());
}

// A missing folder, or a name no file there can take, is found before anything is collected.
TEST_F(Run, UnwritableReportIsReportedAndNothingIsPacked) {
    files.files[L"c.xml"] = configuration;
    const std::wstring longName(260, L'n');
    const std::pair<std::string, std::wstring> cases[] = {
        {"missing-folder\\r.tavisk", L"Die ermittelten Informationen konnten nicht in XML geschrieben werden!\n"},
        {"out\\" + std::string(longName.begin(), longName.end()) + ".tavisk",
         L"Der Name der Ausgabedatei ist zu lang fuer ihren Ordner:\tout\\" + longName + L".tavisk\n"}};
    for (const auto& [destination, message] : cases) {
        console.output.clear();
        EXPECT_EQ(start({"/source", "c.xml", "/dest", destination}), -1);
        EXPECT_EQ(console.output, banner + L"Konfigurationsdatei:\tc.xml\n" + message + prompt);
    }
    EXPECT_TRUE(packed.empty());
    EXPECT_TRUE(collectors.calls.empty());
    EXPECT_TRUE(files.own.empty());
}

// The report never takes the name of its archive's ".xml" before packing
// failed, so a configuration under that name is read and left as it was.
TEST_F(Run, AConfigurationNamedLikeTheReportIsLeftAsItWas) {
    files.files[L"inv.xml"] = "<config><Registry><getKey>K</getKey></Registry></config>";
    const std::string configurationBytes = files.files[L"inv.xml"];
    EXPECT_EQ(start({"/source", "inv.xml", "/dest", "inv.tavisk"}), 0);
    EXPECT_EQ(files.files.at(L"inv.xml"), configurationBytes);
    EXPECT_EQ(job.itemContents.size(), 1u);
    EXPECT_NE(job.itemContents[0].find("<registry>\r\n"), std::string::npos);
}

// A run that fails after a section spilled removes the report and every spill
// file, packs nothing and says why: an exception outside any request, and a
// disk that runs full.
TEST_F(Run, AFailedRunLeavesNothingBehind) {
    const struct {
        const char* requests;
        bool figuresThrow;
        std::optional<std::size_t> diskSpace;
        std::wstring message;
    } cases[] = {
        {"<File><getFile>big.log</getFile></File><System><getSystem>x</getSystem></System>", true, std::nullopt,
         L"Es ist ein unbekannter Fehler aufgetreten, wenden Sie sich bitte an den Support.\n" + prompt},
        {"<File><getFile>big.log</getFile></File>", false, std::size_t{2} << 20,
         L"beendet!\nDie ermittelten Informationen konnten nicht in XML geschrieben werden!\n"
         L"Ausgabedatei:\t\tr.tavisk\n"},
    };
    files.files[L"big.log"] = std::string(3 << 20, 'x');
    for (const auto& sample : cases) {
        files.files[L"c.xml"] = std::string("<config>") + sample.requests + "</config>";
        const auto before = files.files;
        collectors.figuresThrow = sample.figuresThrow;
        files.diskSpace = sample.diskSpace;
        console.output.clear();
        EXPECT_EQ(start({"/source", "c.xml", "/dest", "r.tavisk"}), -1) << sample.requests;
        EXPECT_NE(console.output.find(sample.message), std::wstring::npos) << console.output;
        EXPECT_EQ(files.files, before);
    }
}

// A check reads the configuration as the run does, a UTF-8 one included.
TEST_F(Run, CheckDecodesAConfigurationAsTheRunDoes) {
    files.files[L"c.xml"] = "\xEF\xBB\xBF<config><File><getFile>caf\xC3\xA9</getFile></File></config>";
    EXPECT_EQ(start({"/check", "/source", "c.xml"}), 0);
    EXPECT_NE(console.output.find(L"\tFile\tgetFile\t\"caf\u00E9\"\n"), std::wstring::npos) << console.output;
}

// Saved as "Unicode", with or without its mark: the run and the check say so,
// and the run ends as it does for any configuration without requests.
TEST_F(Run, AUtf16ConfigurationIsNamedAsSuch) {
    const std::string text = "<config><File><getFile>a</getFile></File></config>";
    std::string littleEndian = "\xFF\xFE";
    std::string bigEndian;
    for (const char c : text) {
        littleEndian += {c, '\0'};
        bigEndian += {'\0', c};
    }
    for (const std::string& bytes : {littleEndian, littleEndian.substr(2), bigEndian}) {
        files.files[L"c.xml"] = bytes;
        for (const char* mode : {"/check", "/source"}) {
            console.output.clear();
            const int status = start({mode, "/source", "c.xml", "/dest", "r.tavisk"});
            EXPECT_EQ(status, std::string(mode) == "/check" ? 2 : 0);
            EXPECT_NE(console.output.find(L"\nDie Konfigurationsdatei ist UTF-16 (\"Unicode\") gespeichert"),
                      std::wstring::npos)
                << console.output;
        }
    }
}

TEST_F(Run, CheckPrintsWhatRunsAndWhatNotAndCollectsNothing) {
    files.files[L"c.xml"] = "<config>\n<File><getFile>a\tb\n</getFile><getKey>k</getKey></File>\n</config>";
    EXPECT_EQ(start({"/check", "/source", "c.xml", "/dest", "r.tavisk"}), 1);
    EXPECT_EQ(console.output, banner + L"Konfigurationsdatei:\tc.xml\n"
                                       L"Anfragen in der Reihenfolge der Ausfuehrung:\n"
                                       L"1.\tZeile 2\tFile\tgetFile\t\"a\\tb\\n\"\n"
                                       L"Nicht ausgefuehrt:\n"
                                       L"Zeile 3\t<File><getKey> (gehoert in <Registry>)\t"
                                       L"die Funktion gehoert zu einer anderen Kategorie\n"
                                       L"Ergebnis: 1 Anfrage(n) werden ausgefuehrt, 1 Stelle(n) werden uebergangen.\n" +
                                       prompt);
    EXPECT_TRUE(packed.empty());
    EXPECT_EQ(collectors.calls, std::vector<std::wstring>{});
    EXPECT_EQ(files.files.count(L"r.xml"), 0u);
}

TEST_F(Run, CheckStatusTellsWhetherEverythingSomethingOrNothingRuns) {
    const struct {
        const char* content;  // null: no such file
        int status;
    } cases[] = {
        {"<config><File><getFile>a</getFile></File></config>", 0},
        {"<config><File><getFile>a</getFile><getFoo>b</getFoo></File></config>", 1},
        {nullptr, 2},
        {"", 2},
        {"\x7F" "ELF\x02\x01\x01\0\0\xFF<\xFE>\x1A<config>", 2},
        {"<config><File><getFoo>b</getFoo></File></config>", 2},
        {"<config><File><getFile>a</getFile></File>", 2},
    };
    for (const auto& entry : cases) {
        files.files.erase(L"c.xml");
        if (entry.content) files.files[L"c.xml"] = entry.content;
        EXPECT_EQ(start({"/source", "c.xml", "/check"}), entry.status) << (entry.content ? entry.content : "missing");
    }
    EXPECT_TRUE(packed.empty());
}
