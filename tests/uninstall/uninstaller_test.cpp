// Native tests of the uninstaller: command line, the removal plan, and whole runs over an in-memory
// file tree (files in use, two products in one folder, damaged data files, declined removal).
#include <gtest/gtest.h>

#include "fake_removal_system.h"
#include "fake_system.h"
#include "uninstall/registration.h"
#include "uninstall/uninstall_log.h"
#include "uninstall/uninstaller/command_line.h"
#include "uninstall/uninstaller/exit_codes.h"
#include "uninstall/uninstaller/messages.h"
#include "uninstall/uninstaller/removal_plan.h"
#include "uninstall/uninstaller/uninstaller_run.h"

namespace kv::uninstall {
namespace {

using testing::FakeRemovalSystem;
using testing::kDesktop;
using testing::kPrograms;

UninstallRecord File(const std::string& path) { return {kKindFile, 0, "", path}; }
UninstallRecord Product(const std::string& name) { return {kKindProduct, 0, "", name}; }
UninstallRecord Desktop(const std::string& caption) { return {kKindShortcut, kLocationDesktop, "", caption}; }
UninstallRecord Menu(const std::string& group, const std::string& caption) {
    return {kKindShortcut, kLocationPrograms, group, caption};
}

std::vector<std::uint8_t> Encode(const std::vector<UninstallRecord>& records) {
    std::vector<std::uint8_t> bytes;
    for (const auto& r : records) EncodeRecord(r, bytes);
    return bytes;
}

std::vector<UninstallRecord> Decode(const std::vector<std::uint8_t>& bytes) {
    const DecodedLog log = DecodeRecords(bytes);
    EXPECT_FALSE(log.truncated);
    return log.records;
}

TEST(UninstallCommandLine, SplitsFolderAndProductAsRegistered) {
    auto r = ParseUninstallArguments("C:\\Program Files\\App|App Name");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->folder, "C:\\Program Files\\App");
    EXPECT_EQ(r->product, "App Name");
    EXPECT_FALSE(r->quiet);

    r = ParseUninstallArguments("C:\\|Name /S");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->folder, "C:\\");
    EXPECT_EQ(r->product, "Name");
    EXPECT_TRUE(r->quiet);

    r = ParseUninstallArguments("D:\\A b\\|Prod/S");  // no blank before /S: part of the name
    ASSERT_TRUE(r);
    EXPECT_EQ(r->product, "Prod/S");
    EXPECT_FALSE(r->quiet);

    r = ParseUninstallArguments("\"C:\\Program Files\\App|App\" /S");  // quoted by a script
    ASSERT_TRUE(r);
    EXPECT_EQ(r->folder, "C:\\Program Files\\App");
    EXPECT_EQ(r->product, "App");
    EXPECT_TRUE(r->quiet);

    for (const char* bad : {"", "   ", "C:\\App", "|Name", "C:\\App|", "C:\\App| /S", " /S"}) {
        EXPECT_FALSE(ParseUninstallArguments(bad)) << bad;
    }
    EXPECT_TRUE(HasQuietOption("nonsense /s"));
}

// "/LOG=path" stands behind the product, before or after /S, its path quoted when it has blanks.
TEST(UninstallCommandLine, LogSwitchInEitherOrderAndQuoted) {
    auto r = ParseUninstallArguments("C:\\App|App Name /S /LOG=C:\\u.log");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->product, "App Name");
    EXPECT_TRUE(r->quiet);
    EXPECT_EQ(r->logPath, "C:\\u.log");

    r = ParseUninstallArguments("\"C:\\My App|App\" /log=\"C:\\My Logs\\u.log\" /S");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->folder, "C:\\My App");
    EXPECT_EQ(r->product, "App");
    EXPECT_TRUE(r->quiet);
    EXPECT_EQ(r->logPath, "C:\\My Logs\\u.log");

    EXPECT_FALSE(ParseUninstallArguments("C:\\App| /LOG=x.log /S"));  // no product left
    EXPECT_TRUE(HasQuietOption("nonsense /S /LOG=\"x y.log\""));
    EXPECT_EQ(LogPathOption("nonsense /LOG=\"x y.log"), "x");  // a lone quote groups nothing
    EXPECT_EQ(LogPathOption("C:\\App|App /S"), "");
}

// Deployment tools quote each argument, or the whole text, their own way; cmd.exe runs the
// registered command as written. Each form means the same removal.
TEST(UninstallCommandLine, EveryQuotingADeploymentToolUsesMeansTheSame) {
    for (const char* line : {
             "\"C:\\Deploy Dir\\App|App Name\" /S /LOG=\"C:\\Deploy Logs\\x.log\"",  // as registered
             "C:\\Deploy Dir\\App|App Name /S \"/LOG=C:\\Deploy Logs\\x.log\"",      // each switch quoted
             "\"C:\\Deploy Dir\\App|App Name\" \"/S\" \"/LOG=C:\\Deploy Logs\\x.log\"",
             "\"C:\\Deploy Dir\\App|App Name /S /LOG=C:\\Deploy Logs\\x.log\"",  // the whole text as one word
             "/LOG=\"C:\\Deploy Logs\\x.log\" /s C:\\Deploy Dir\\App|App Name",  // switches first
         }) {
        const auto r = ParseUninstallArguments(line);
        ASSERT_TRUE(r) << line;
        EXPECT_EQ(r->folder, "C:\\Deploy Dir\\App") << line;
        EXPECT_EQ(r->product, "App Name") << line;
        EXPECT_TRUE(r->quiet) << line;
        EXPECT_EQ(r->logPath, "C:\\Deploy Logs\\x.log") << line;
    }
    // A lone quote swallows neither /S nor the product; the quiet request wins anywhere, also on a
    // line that cannot be used.
    auto r = ParseUninstallArguments("C:\\App|App /LOG=\"C:\\h3.log /S");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->product, "App");
    EXPECT_EQ(r->logPath, "C:\\h3.log");
    EXPECT_TRUE(r->quiet);
    EXPECT_TRUE(HasQuietOption("\"/S\" garbage"));
    EXPECT_TRUE(HasQuietOption("\"C:\\dl|Deploy /S /LOG=C:\\Deploy Logs\\x.log"));
    EXPECT_FALSE(HasQuietOption("C:\\App|Prod/S"));
}

TEST(RemovalPlan, TakesTheProductsSegmentsAndKeepsWhatOthersClaim) {
    const std::vector<UninstallRecord> records = {
        File("C:\\App\\orphan.txt"),  // 0: no product
        Product("A"),
        File("C:\\App\\a.exe"),
        File("C:\\App\\shared.dll"),
        Desktop("A app.v2"),     // 1-4
        Menu("Grp", "Read me"),  // 5
        Product("B"),
        File("C:\\App\\b.exe"),
        File("C:\\APP\\SHARED.DLL"),
        Desktop("A app"),  // 6-9
        Product("A"),
        File("C:\\App\\late.txt"),  // 10-11
    };
    const RemovalPlan plan = PlanRemoval(records, "A");
    EXPECT_EQ(plan.products, (std::vector<std::size_t>{1, 10}));
    EXPECT_EQ(plan.files, (std::vector<std::size_t>{2, 11}));
    EXPECT_EQ(plan.shortcuts, (std::vector<std::size_t>{5}));
    // The same file in another letter case, and a caption naming the same "A app.lnk".
    EXPECT_EQ(plan.shared, (std::vector<std::size_t>{3, 4}));
    EXPECT_FALSE(PlanRemoval(records, "a").found());  // product names compare exactly

    // Nothing failed: the other product and the orphan stay, in order.
    EXPECT_EQ(RemainingRecords(records, plan, {}),
              (std::vector<UninstallRecord>{records[0], records[6], records[7], records[8], records[9]}));
    // A file left behind goes last, behind the product's record, so a second run finds it.
    EXPECT_EQ(RemainingRecords(records, plan, {11}),
              (std::vector<UninstallRecord>{records[0], records[6], records[7], records[8], records[9], Product("A"),
                                            records[11]}));

    EXPECT_EQ(ShortcutRelativePath(Menu("Grp", "Read me.txt")), "Grp\\Read me.lnk");
    EXPECT_EQ(FoldersBelow("C:\\App\\a\\b\\f.txt", "C:\\app\\"),
              (std::vector<std::string>{"C:\\App\\a\\b", "C:\\App\\a"}));
    EXPECT_TRUE(FoldersBelow("C:\\Application\\f.txt", "C:\\App").empty());
    EXPECT_TRUE(FoldersBelow("D:\\f.txt", "C:\\App").empty());
    EXPECT_EQ(FirstDamage({Product("A"), {9, 0, "", "x"}}), (Damage{DamageKind::UnknownKind, 2, 9}));
    EXPECT_EQ(FirstDamage({{kKindShortcut, 5, "", "x"}}), (Damage{DamageKind::UnknownLocation, 1, 5}));
    EXPECT_EQ(FirstDamage({Product(""), File("")}), std::nullopt);  // odd, but not for another product to refuse
}

// One product installed as the installer would leave it, with its registration.
class UninstallRun : public ::testing::Test {
protected:
    const std::string kFolder = "C:\\Program Files\\Demo";
    const std::string kData = kFolder + "\\Kvuninstall.dat";

    void Install(const std::string& product, const std::vector<UninstallRecord>& records, const std::string& folder) {
        for (const auto& r : records) {
            if (r.kind == kKindFile) fs.AddFile(r.text);
            if (r.kind == kKindShortcut) {
                fs.AddFile(std::string(r.location ? kDesktop : kPrograms) + "\\" + ShortcutRelativePath(r));
            }
        }
        fs.m_registry[UninstallKeyPath(product)] = {
            {"DisplayName", product}, {"UninstallString", UninstallCommandLine("C:\\WINDOWS", folder, product)}};
    }

    std::vector<UninstallRecord> DemoRecords() const {
        return {Product("Demo"),
                File(kFolder + "\\KVDEMO.EXE"),
                Desktop("Korvalin Demo"),
                Menu("Korvalin Demo", "Korvalin Demo"),
                File(kFolder + "\\doc\\README.TXT"),
                Menu("Korvalin Demo", "Read Me.txt"),
                File(kFolder + "\\doc\\deep\\LICENSE.RTF"),
                File(kFolder + "\\SETUP.EXE")};
    }

    UninstallOutcome Uninstall(const std::string& arguments) { return RunUninstall(fs, arguments, runLog); }

    FakeRemovalSystem fs;
    os::testing::FakeRunLog runLog;
};

TEST_F(UninstallRun, RemovesEverythingOfTheOnlyProduct) {
    const auto records = DemoRecords();
    Install("Demo", records, kFolder);
    fs.AddFile(kData, Encode(records));
    fs.AddFile(kData + ".new", {'h', 'a', 'l', 'f'});  // left by a run stopped while rewriting
    fs.AddFile(std::string(kDesktop) + "\\Other.lnk");
    fs.AddFile("C:\\Program Files\\Other\\keep.txt");

    const auto outcome = Uninstall(kFolder + "|Demo");
    EXPECT_EQ(outcome.exitCode, kUninstallRemoved);
    EXPECT_EQ(fs.m_questions, (std::vector<std::string>{"Remove Demo and all of its components?"}));
    EXPECT_EQ(fs.m_messages, (std::vector<std::string>{"Demo was removed."}));
    for (const auto& r : records) {
        if (r.kind == kKindFile) {
            EXPECT_FALSE(fs.HasFile(r.text)) << r.text;
        }
    }
    EXPECT_FALSE(fs.HasFile(std::string(kDesktop) + "\\Korvalin Demo.lnk"));
    EXPECT_FALSE(fs.HasFolder(std::string(kPrograms) + "\\Korvalin Demo"));
    EXPECT_FALSE(fs.HasFile(kData));
    EXPECT_FALSE(fs.HasFolder(kFolder + "\\doc"));
    EXPECT_FALSE(fs.HasFolder(kFolder));
    EXPECT_TRUE(fs.m_registry.empty());
    // Everything that was there before stays: other shortcuts, other programs, the special folders.
    EXPECT_TRUE(fs.HasFile(std::string(kDesktop) + "\\Other.lnk"));
    EXPECT_TRUE(fs.HasFile("C:\\Program Files\\Other\\keep.txt"));
    EXPECT_TRUE(fs.HasFolder("C:\\Program Files"));
    EXPECT_TRUE(fs.HasFolder(kPrograms));
}

// The uninstaller killed after each of its changes in turn: the data file is whole or gone, and
// running it again always finishes the job.
TEST_F(UninstallRun, ARunStoppedAfterAnyChangeIsFinishedByTheNext) {
    const auto records = DemoRecords();
    for (int changes = 0;; ++changes) {
        fs = FakeRemovalSystem();
        Install("Demo", records, kFolder);
        fs.AddFile(kData, Encode(records));
        fs.m_changesBeforeStop = changes;
        try {
            Uninstall(kFolder + "|Demo /S");
            break;  // no change was left to stop at
        } catch (const FakeRemovalSystem::Stopped&) {}
        if (fs.HasFile(kData)) {
            EXPECT_EQ(fs.Bytes(kData), Encode(records)) << changes;
        }
        fs.m_changesBeforeStop = -1;
        // Stopped after the data file went but before the empty folder did: the product is neither
        // recorded nor registered any more, so the next run says so and leaves that folder alone.
        const bool onlyFolderLeft = !fs.HasFile(kData) && fs.m_registry.empty();
        EXPECT_EQ(Uninstall(kFolder + "|Demo /S").exitCode, onlyFolderLeft ? kUninstallNotInstalled : kUninstallRemoved)
            << "stopped after " << changes;
        if (onlyFolderLeft) continue;
        EXPECT_FALSE(fs.HasFolder(kFolder)) << changes;
        EXPECT_FALSE(fs.HasFolder(std::string(kPrograms) + "\\Korvalin Demo")) << changes;
        EXPECT_FALSE(fs.HasFile(std::string(kDesktop) + "\\Korvalin Demo.lnk")) << changes;
        EXPECT_TRUE(fs.m_registry.empty()) << changes;
    }
    // With the registration still there, a missing data file is no stopped removal: nothing changes.
    fs = FakeRemovalSystem();
    Install("Demo", {}, kFolder);
    fs.AddFolder(kFolder);
    EXPECT_EQ(Uninstall(kFolder + "|Demo /S").exitCode, kUninstallNoDataFile);
    EXPECT_TRUE(fs.HasFolder(kFolder));
}

// A product never installed in the named folder is an error, and the folder is not touched, even
// when it is empty.
TEST_F(UninstallRun, AProductNeverInstalledThereLeavesTheFolderAlone) {
    fs.AddFolder("C:\\Empty");
    for (const char* quiet : {"", " /S"}) {
        const auto outcome = Uninstall(std::string("C:\\Empty|Never Installed") + quiet);
        EXPECT_EQ(outcome.exitCode, kUninstallNotInstalled);
        EXPECT_EQ(OutcomeText(outcome),
                  "Never Installed is not installed in C:\\Empty: the folder has no uninstall data file and the "
                  "product is not registered.\nNothing was removed.");
        EXPECT_TRUE(fs.HasFolder("C:\\Empty"));
    }
    EXPECT_EQ(fs.m_messages.size(), 1u) << "a box only when not quiet";
}

// A registry key that cannot be deleted keeps the product recorded: the next run finds it and
// finishes, and the Apps & Features entry does not outlive its data.
TEST_F(UninstallRun, AKeyThatCannotBeDeletedKeepsTheProductForTheNextRun) {
    const auto records = DemoRecords();
    Install("Demo", records, kFolder);
    fs.AddFile(kData, Encode(records));
    fs.m_failDeleteKey = true;
    const auto first = Uninstall(kFolder + "|Demo /S");
    EXPECT_EQ(first.exitCode, kUninstallIncomplete);
    EXPECT_EQ(Decode(fs.Bytes(kData)), (std::vector<UninstallRecord>{Product("Demo")}));
    EXPECT_FALSE(fs.HasFile(kFolder + "\\KVDEMO.EXE"));
    fs.m_failDeleteKey = false;
    EXPECT_EQ(Uninstall(kFolder + "|Demo /S").exitCode, kUninstallRemoved);
    EXPECT_TRUE(fs.m_registry.empty());
    EXPECT_FALSE(fs.HasFolder(kFolder));
}

TEST_F(UninstallRun, FoldersThatStillHoldSomethingStay) {
    // A special folder below the installation folder is never removed, even when it is left empty.
    const std::vector<UninstallRecord> inProfile = {Product("Demo"), File(std::string(kPrograms) + "\\tool.exe")};
    Install("Demo", inProfile, "C:\\Users\\kim");
    fs.AddFile("C:\\Users\\kim\\Kvuninstall.dat", Encode(inProfile));
    EXPECT_EQ(Uninstall("C:\\Users\\kim|Demo /S").exitCode, kUninstallRemoved);
    EXPECT_FALSE(fs.HasFile(std::string(kPrograms) + "\\tool.exe"));
    EXPECT_TRUE(fs.HasFolder(kPrograms));

    const auto records = DemoRecords();

    Install("Demo", records, kFolder + "\\");  // registered with a trailing backslash
    fs.AddFile(kData, Encode(records));
    fs.AddFile(kFolder + "\\doc\\notes-of-the-user.txt");
    fs.AddFile(std::string(kPrograms) + "\\Korvalin Demo\\Added by hand.lnk");

    EXPECT_EQ(Uninstall(kFolder + "\\|Demo /S").exitCode, kUninstallRemoved);
    EXPECT_TRUE(fs.m_questions.empty());
    EXPECT_TRUE(fs.m_messages.empty());
    EXPECT_FALSE(fs.HasFolder(kFolder + "\\doc\\deep"));
    EXPECT_TRUE(fs.HasFile(kFolder + "\\doc\\notes-of-the-user.txt"));
    EXPECT_TRUE(fs.HasFile(std::string(kPrograms) + "\\Korvalin Demo\\Added by hand.lnk"));
    EXPECT_FALSE(fs.HasFile(kData));
    EXPECT_TRUE(fs.m_registry.empty());
}

TEST_F(UninstallRun, TwoProductsInOneFolderSharingAFile) {
    const std::vector<UninstallRecord> a = {Product("Alpha"), File(kFolder + "\\alpha.exe"),
                                            File(kFolder + "\\common.dll"), Desktop("Alpha")};
    // Beta recorded the shared file in another spelling (a folder typed with a trailing backslash).
    const std::vector<UninstallRecord> b = {Product("Beta"), File(kFolder + "\\beta.exe"),
                                            File(kFolder + "\\\\COMMON.DLL"), Desktop("Beta")};
    Install("Alpha", a, kFolder);
    Install("Beta", b, kFolder);
    std::vector<UninstallRecord> all = a;
    all.insert(all.end(), b.begin(), b.end());
    fs.AddFile(kData, Encode(all));

    EXPECT_EQ(Uninstall(kFolder + "|Alpha /S").exitCode, kUninstallRemoved);
    EXPECT_FALSE(fs.HasFile(kFolder + "\\alpha.exe"));
    EXPECT_FALSE(fs.HasFile(std::string(kDesktop) + "\\Alpha.lnk"));
    EXPECT_TRUE(fs.HasFile(kFolder + "\\common.dll"));  // still Beta's
    EXPECT_TRUE(fs.HasFile(kFolder + "\\beta.exe"));
    EXPECT_TRUE(fs.HasFile(std::string(kDesktop) + "\\Beta.lnk"));
    EXPECT_EQ(Decode(fs.Bytes(kData)), b);
    EXPECT_EQ(fs.m_registry.count(UninstallKeyPath("Alpha")), 0u);
    EXPECT_EQ(fs.m_registry.count(UninstallKeyPath("Beta")), 1u);
    EXPECT_TRUE(runLog.Has("Removed " + kFolder + "\\alpha.exe"));
    EXPECT_TRUE(runLog.Has("Kept for another product: " + kFolder + "\\common.dll"));
    EXPECT_TRUE(runLog.Has("Data file rewritten for the products left: " + kData));
    EXPECT_TRUE(runLog.Has("Registration of this folder removed: HKLM\\" + UninstallKeyPath("Alpha")));
    EXPECT_TRUE(runLog.Has("Alpha was removed."));

    EXPECT_EQ(Uninstall(kFolder + "|Beta /S").exitCode, kUninstallRemoved);
    EXPECT_FALSE(fs.HasFile(kFolder + "\\common.dll"));
    EXPECT_FALSE(fs.HasFolder(kFolder));
    EXPECT_TRUE(fs.m_registry.empty());
}

// A data file cut short inside its last record: each product still loses its own records and
// nothing else, and the partial record goes with the rewrite.
TEST_F(UninstallRun, ADataFileCutShortStillRemovesEachProductsOwnRecords) {
    const std::vector<UninstallRecord> a = {Product("Alpha"), File(kFolder + "\\alpha.exe")};
    const std::vector<UninstallRecord> b = {Product("Beta"), File(kFolder + "\\beta.exe")};
    Install("Alpha", a, kFolder);
    Install("Beta", b, kFolder);
    fs.AddFile(kFolder + "\\beta.ex");
    std::vector<UninstallRecord> all = a;
    all.insert(all.end(), b.begin(), b.end());
    auto bytes = Encode(all);
    const std::string partial = kFolder + "\\beta.ex";  // a third record, cut short
    bytes.push_back(kKindFile);
    bytes.insert(bytes.end(), partial.begin(), partial.end());
    fs.AddFile(kData, bytes);

    EXPECT_EQ(Uninstall(kFolder + "|Alpha /S").exitCode, kUninstallRemoved);
    EXPECT_FALSE(fs.HasFile(kFolder + "\\alpha.exe"));
    EXPECT_TRUE(fs.HasFile(kFolder + "\\beta.exe"));
    EXPECT_EQ(Decode(fs.Bytes(kData)), b);
    EXPECT_EQ(Uninstall(kFolder + "|Beta /S").exitCode, kUninstallRemoved);
    EXPECT_FALSE(fs.HasFile(kFolder + "\\beta.exe"));
    EXPECT_TRUE(fs.HasFile(kFolder + "\\beta.ex"));  // the cut path named another file
}

TEST_F(UninstallRun, AFileInUseIsRetriedListedAndFinishedByTheNextRun) {
    const auto records = DemoRecords();
    Install("Demo", records, kFolder);
    fs.AddFile(kData, Encode(records));
    fs.HoldInUse(kFolder + "\\KVDEMO.EXE");

    auto outcome = Uninstall(kFolder + "|Demo");
    EXPECT_EQ(outcome.exitCode, kUninstallIncomplete);
    EXPECT_EQ(outcome.notRemoved, (std::vector<std::string>{kFolder + "\\KVDEMO.EXE"}));
    ASSERT_EQ(fs.m_messages.size(), 1u);
    EXPECT_NE(fs.m_messages[0].find(kFolder + "\\KVDEMO.EXE"), std::string::npos) << fs.m_messages[0];
    // Everything else is gone; the file, its record, the folder and the registration stay.
    EXPECT_TRUE(fs.HasFile(kFolder + "\\KVDEMO.EXE"));
    EXPECT_FALSE(fs.HasFile(kFolder + "\\SETUP.EXE"));
    EXPECT_FALSE(fs.HasFolder(kFolder + "\\doc"));
    EXPECT_EQ(Decode(fs.Bytes(kData)), (std::vector<UninstallRecord>{Product("Demo"), File(kFolder + "\\KVDEMO.EXE")}));
    EXPECT_EQ(fs.m_registry.count(UninstallKeyPath("Demo")), 1u);
    EXPECT_TRUE(runLog.Has("Left (in use or refused): " + kFolder + "\\KVDEMO.EXE"));
    EXPECT_FALSE(runLog.Has("Registration of this folder removed: HKLM\\" + UninstallKeyPath("Demo")));

    fs.HoldInUse(kFolder + "\\KVDEMO.EXE", 0);
    outcome = Uninstall(kFolder + "|Demo /S");
    EXPECT_EQ(outcome.exitCode, kUninstallRemoved);
    EXPECT_FALSE(fs.HasFolder(kFolder));
    EXPECT_TRUE(fs.m_registry.empty());
}

TEST_F(UninstallRun, AFileReachedThroughALinkIsKeptWithItsRecordAndListed) {
    const auto records = DemoRecords();
    Install("Demo", records, kFolder);
    fs.AddFile(kData, Encode(records));
    fs.PlaceBehindLink(kFolder + "\\doc\\README.TXT");
    const auto outcome = Uninstall(kFolder + "|Demo /S");
    EXPECT_EQ(outcome.exitCode, kUninstallIncomplete);
    const std::string kept = kFolder + "\\doc\\README.TXT (kept: a link leads it outside " + kFolder + ")";
    EXPECT_EQ(outcome.notRemoved, (std::vector<std::string>{kept}));
    EXPECT_TRUE(runLog.Has("Kept: " + kept));
    EXPECT_TRUE(fs.HasFile(kFolder + "\\doc\\README.TXT"));
    EXPECT_EQ(Decode(fs.Bytes(kData)),
              (std::vector<UninstallRecord>{Product("Demo"), File(kFolder + "\\doc\\README.TXT")}));
}

TEST_F(UninstallRun, AFileFreedDuringTheRetriesIsRemoved) {
    const auto records = DemoRecords();
    Install("Demo", records, kFolder);
    fs.AddFile(kData, Encode(records));
    fs.HoldInUse(kFolder + "\\KVDEMO.EXE", kRemoveTries - 1);
    EXPECT_EQ(Uninstall(kFolder + "|Demo /S").exitCode, kUninstallRemoved);
    EXPECT_FALSE(fs.HasFolder(kFolder));
}

TEST_F(UninstallRun, BadInputChangesNothing) {
    const auto records = DemoRecords();
    Install("Demo", records, kFolder);
    struct Case {
        std::string arguments;
        std::vector<std::uint8_t> data;
        int code;
        std::string messageStart;
    };
    const std::vector<Case> cases = {
        {"C:\\Program Files\\Demo", Encode(records), kUninstallBadCommandLine, "The uninstaller cannot use"},
        {"C:\\Nowhere|Demo", Encode(records), kUninstallNoDataFile, "The uninstall data file C:\\Nowhere\\"},
        {kFolder + "|Demo", {2, 'D', 'e', 'm', 'o', 0, 7, 'x', 0}, kUninstallDamagedData, "The uninstall data file"},
        {kFolder + "|Other", Encode(records), kUninstallUnknownProduct, "Other is not recorded in " + kData},
        // Records that would reach outside the product's places.
        {kFolder + "|Demo", Encode({Product("Demo"), File("C:\\WINDOWS\\system.ini")}), kUninstallDamagedData,
         "The uninstall data file " + kData + " is damaged (record 2: C:\\WINDOWS\\system.ini is not inside"},
        {kFolder + "|Demo", Encode({Product("Demo"), File(kFolder + "\\..\\..\\WINDOWS\\win.ini")}),
         kUninstallDamagedData, "The uninstall data file"},
        {kFolder + "|Demo", Encode({Product("Demo"), File(kFolder + "x\\a.txt")}), kUninstallDamagedData,
         "The uninstall data file"},
        {kFolder + "|Demo", Encode({Product("Demo"), File("")}), kUninstallDamagedData, "The uninstall data file"},
        {kFolder + "|Demo", Encode({Product("Demo"), Menu("..", "Evil")}), kUninstallDamagedData,
         "The uninstall data file " + kData + " is damaged (record 2: shortcut ..\\Evil.lnk leaves its folder"},
        {kFolder + "|Demo", {}, kUninstallUnknownProduct, "Demo is not recorded"},
    };
    for (const auto& c : cases) {
        fs.AddFile(kData, c.data);
        const auto before = fs.Snapshot();
        const auto registry = fs.m_registry;
        fs.m_messages.clear();
        for (const bool quiet : {false, true}) {
            const auto outcome = Uninstall(c.arguments + (quiet ? " /S" : ""));
            EXPECT_EQ(outcome.exitCode, c.code) << c.arguments;
            EXPECT_EQ(OutcomeText(outcome).rfind(c.messageStart, 0), 0u) << OutcomeText(outcome);
            EXPECT_EQ(fs.m_messages.size(), 1u) << "one box when asked, none when quiet: " << c.arguments;
        }
        EXPECT_TRUE(fs.m_questions.empty());
        EXPECT_EQ(fs.m_registry, registry);
        EXPECT_TRUE(fs.Snapshot() == before);
        EXPECT_EQ(fs.Bytes(kData), c.data);
    }
}

TEST_F(UninstallRun, DecliningChangesNothing) {
    const auto records = DemoRecords();
    Install("Demo", records, kFolder);
    fs.AddFile(kData, Encode(records));
    const auto before = fs.Snapshot();
    fs.m_answerYes = false;
    EXPECT_EQ(Uninstall(kFolder + "|Demo").exitCode, kUninstallDeclined);
    EXPECT_TRUE(fs.m_messages.empty());
    EXPECT_TRUE(fs.Snapshot() == before);
    EXPECT_EQ(fs.m_registry.size(), 1u);
}

TEST_F(UninstallRun, SameProductInstalledTwiceAndRegisteredForAnotherFolder) {
    // A second installation into the same folder appended only its new file; the same product was
    // then installed once more elsewhere, which took over the registration.
    auto records = DemoRecords();
    records.push_back(File(kFolder + "\\added-in-2.0.dll"));
    Install("Demo", records, "D:\\Elsewhere");
    auto bytes = Encode(records);
    const auto again = Encode({Product("Demo"), File(kFolder + "\\KVDEMO.EXE")});  // duplicates kept in the file
    bytes.insert(bytes.end(), again.begin(), again.end());
    fs.AddFile(kData, bytes);

    EXPECT_EQ(Uninstall(kFolder + "|Demo /S").exitCode, kUninstallRemoved);
    EXPECT_FALSE(fs.HasFile(kFolder + "\\added-in-2.0.dll"));
    EXPECT_FALSE(fs.HasFolder(kFolder));
    EXPECT_EQ(fs.m_registry.count(UninstallKeyPath("Demo")), 1u) << "D:\\Elsewhere still owns the registration";
}

TEST_F(UninstallRun, EachRegistryViewLosesOnlyTheKeyOfThisFolder) {
    // The product came from a 32-bit installer here and from a 64-bit one elsewhere; the uninstaller
    // in the Windows folder is of either machine type and must look in both views.
    const auto records = DemoRecords();
    Install("Demo", records, kFolder);
    fs.m_registry64[UninstallKeyPath("Demo")] = {
        {"UninstallString", UninstallCommandLine("C:\\WINDOWS", "D:\\Elsewhere", "Demo")}};
    fs.AddFile(kData, Encode(records));
    EXPECT_EQ(Uninstall(kFolder + "|Demo /S").exitCode, kUninstallRemoved);
    EXPECT_TRUE(fs.m_registry.empty());
    EXPECT_EQ(fs.m_registry64.count(UninstallKeyPath("Demo")), 1u);

    // Registered from this folder in the 64-bit view only: that key goes.
    fs.m_registry64[UninstallKeyPath("Demo")]["UninstallString"] = UninstallCommandLine("C:\\WINDOWS", kFolder, "Demo");
    Install("Demo", records, kFolder);
    fs.m_registry.clear();
    fs.AddFile(kData, Encode(records));
    EXPECT_EQ(Uninstall(kFolder + "|Demo /S").exitCode, kUninstallRemoved);
    EXPECT_TRUE(fs.m_registry64.empty());

    // Older installers registered the command unquoted: it is still read the same way.
    Install("Demo", records, kFolder);
    fs.m_registry[UninstallKeyPath("Demo")]["UninstallString"] = "C:\\WINDOWS\\Kvuninstall.exe D:\\Else where|Demo";
    fs.AddFile(kData, Encode(records));
    EXPECT_EQ(Uninstall("\"" + kFolder + "|Demo\" /S").exitCode, kUninstallRemoved);
    EXPECT_EQ(fs.m_registry.count(UninstallKeyPath("Demo")), 1u);
}

TEST_F(UninstallRun, ADataFileThatCannotBeRewrittenIsReported) {
    const std::vector<UninstallRecord> a = {Product("Alpha"), File(kFolder + "\\alpha.exe")};
    const std::vector<UninstallRecord> b = {Product("Beta"), File(kFolder + "\\beta.exe")};
    Install("Alpha", a, kFolder);
    auto all = a;
    all.insert(all.end(), b.begin(), b.end());
    fs.AddFile(kData, Encode(all));
    fs.m_failReplace = true;
    const auto outcome = Uninstall(kFolder + "|Alpha /S");
    EXPECT_EQ(outcome.exitCode, kUninstallIncomplete);
    EXPECT_EQ(fs.Bytes(kData), Encode(all));  // the old file is whole; a new run finds nothing missing
    fs.m_failReplace = false;
    EXPECT_EQ(Uninstall(kFolder + "|Alpha /S").exitCode, kUninstallRemoved);
    EXPECT_EQ(Decode(fs.Bytes(kData)), b);
}

// Each way a run ends is told in the uninstaller's own words, with the values it concerns.
TEST(OutcomeText, EachEndingHasItsText) {
    const std::string data = "C:\\App\\Kvuninstall.dat";
    const std::string damaged = "The uninstall data file " + data + " is damaged (";
    const std::string nothing = ".\nNothing was removed.";
    const struct {
        UninstallOutcome outcome;
        std::string text;
    } cases[] = {
        {{kUninstallRemoved, "Demo"}, "Demo was removed."},
        {{kUninstallDeclined, "Demo"}, ""},
        {{kUninstallBadCommandLine, "C:\\App"},
         "The uninstaller cannot use its command line:\nC:\\App\n\nIt expects the installation folder and the "
         "product name as FOLDER|PRODUCT, optionally followed by /S.\nNothing was removed."},
        {{kUninstallNoDataFile, {}, data}, "The uninstall data file " + data + " could not be opened" + nothing},
        {{kUninstallDamagedData, {}, data, Damage{DamageKind::UnknownKind, 2, 9}},
         damaged + "record 2: unknown kind 9)" + nothing},
        {{kUninstallDamagedData, {}, data, Damage{DamageKind::UnknownLocation, 1, 5}},
         damaged + "record 1: unknown shortcut location 5)" + nothing},
        {{kUninstallDamagedData, {}, data, Damage{DamageKind::FileOutsideFolder, 3, 0, "D:\\x", "C:\\App"}},
         damaged + "record 3: D:\\x is not inside C:\\App)" + nothing},
        {{kUninstallDamagedData, {}, data, Damage{DamageKind::ShortcutLeavesFolder, 4, 0, "..\\Evil.lnk"}},
         damaged + "record 4: shortcut ..\\Evil.lnk leaves its folder)" + nothing},
        {{kUninstallUnknownProduct, "Other", data}, "Other is not recorded in " + data + nothing},
        {{kUninstallInternalError}, "An unexpected error stopped the uninstaller."},
        {{kUninstallIncomplete, "Demo", {}, {}, {"C:\\App\\a.exe", "registry key HKLM\\Key"}},
         "Some components of Demo could not be removed:\n\nC:\\App\\a.exe\nregistry key HKLM\\Key\n\nClose the "
         "programs that use them and run the uninstaller again."},
    };
    for (const auto& c : cases) EXPECT_EQ(OutcomeText(c.outcome), c.text);
}

}  // namespace
}  // namespace kv::uninstall
