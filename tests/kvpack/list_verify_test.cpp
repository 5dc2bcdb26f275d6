// kvpack list and verify on a built installer, a damaged one and hand-made ones.
#include <algorithm>

#include <gtest/gtest.h>

#include "archive/product_texts.h"
#include "kvpack_test_support.h"

namespace kv::tools::test {
namespace {

class KvpackInspect : public testing::Test {
protected:
    void SetUp() override {
        WriteSampleProject(m_dir.path(), "archiveDate = \"2026-12-01T12:00:00Z\"\n");
        const RunResult build = RunKvpack("build project.toml -o setup.exe", m_dir.path());
        ASSERT_EQ(build.exitCode, 0) << build.err;
        m_installer = ReadBytes(m_dir / "setup.exe");
    }

    RunResult VerifyDamaged(const std::vector<std::uint8_t>& bytes) {
        WriteBytes(m_dir / "damaged.exe", bytes);
        return RunKvpack("verify damaged.exe", m_dir.path());
    }

    ScratchDir m_dir;
    std::vector<std::uint8_t> m_installer;
};

TEST_F(KvpackInspect, ListShowsEveryHeaderFieldSettingAndRecord) {
    const RunResult list = RunKvpack("list setup.exe", m_dir.path());
    ASSERT_EQ(list.exitCode, 0) << list.err;
    for (const char* expected :
         {"\"Test App\"", "\"SETUP.EXE\"", "\"C:\\Test App\"", "\"APP.EXE\"", "2026-12-01T12:00:00Z", "test.ini",
          "Paths", "Home", "\"$INSTALL\"", "Count", "Kvuninstall.exe", "Docs\\README.TXT", "Data\\big.bin",
          "\"/quiet\"", "0x00001388", "150000", "(matches)"}) {
        EXPECT_NE(list.out.find(expected), std::string::npos) << expected << "\n" << list.out;
    }
}

TEST_F(KvpackInspect, ListJsonIsValidAndCarriesOffsetsAndSizes) {
    const RunResult list = RunKvpack("list --json setup.exe", m_dir.path());
    ASSERT_EQ(list.exitCode, 0) << list.err;
    WriteText(m_dir / "list.json", list.out);
    // Python's own JSON reader checks the syntax and pulls out values independently of kvpack.
    const RunResult check = RunShell(
        "python3 -c 'import json,sys; d=json.load(open(\"list.json\")); f=d[\"files\"]; "
        "print(d[\"title\"], d[\"runFile\"], len(d[\"settings\"]), d[\"settings\"][1][\"value\"], "
        "d[\"settings\"][1][\"numeric\"], len(f), f[0][\"file\"], f[0][\"offset\"], f[3][\"folder\"], "
        "f[3][\"expandedSize\"], f[3][\"compressed\"], f[1][\"desktopIcon\"], f[1][\"iconName\"], "
        "f[1][\"offset\"] == f[0][\"offset\"] + f[0][\"length\"], d[\"fileSize\"], d[\"archiveDateFileTime\"])'",
        m_dir.path());
    ASSERT_EQ(check.exitCode, 0) << check.err << list.out;
    EXPECT_EQ(check.out, "Test App APP.EXE 2 7 1 4 Kvuninstall.exe 5000 Data 150000 True 1 Test App True " +
                             std::to_string(m_installer.size()) + " 134406000000000000\n");
}

TEST_F(KvpackInspect, VerifyAcceptsASoundInstaller) {
    const RunResult verify = RunKvpack("verify setup.exe", m_dir.path());
    EXPECT_EQ(verify.exitCode, 0) << verify.err;
    EXPECT_NE(verify.out.find("OK"), std::string::npos) << verify.out;
}

TEST_F(KvpackInspect, VerifyRefusesAChangedByte) {
    for (std::size_t at : {std::size_t{10}, std::size_t{6000}, m_installer.size() - 20, m_installer.size() - 2}) {
        auto bytes = m_installer;
        bytes[at] ^= 0x01;
        const RunResult verify = VerifyDamaged(bytes);
        EXPECT_EQ(verify.exitCode, 3) << at;
        EXPECT_NE(verify.err.find("checksum mismatch"), std::string::npos) << at << ": " << verify.err;
    }
}

TEST_F(KvpackInspect, VerifyRefusesACutFile) {
    auto bytes = m_installer;
    bytes.resize(5);
    RunResult verify = VerifyDamaged(bytes);
    EXPECT_EQ(verify.exitCode, 3);
    EXPECT_NE(verify.err.find("too short"), std::string::npos) << verify.err;
    // Cut in the middle of the manifest: the trailer is gone, whatever is left does not add up.
    bytes = m_installer;
    bytes.resize(bytes.size() - 30);
    verify = VerifyDamaged(bytes);
    EXPECT_EQ(verify.exitCode, 3);
    EXPECT_FALSE(verify.err.empty());
}

TEST_F(KvpackInspect, VerifyFindsAnEntryThatDoesNotExpandDespiteAGoodChecksum) {
    // The last record (data/big.bin) claims one byte more than its compressed data holds.
    auto bytes = m_installer;
    const RunResult list = RunKvpack("list --json setup.exe", m_dir.path());
    const std::size_t key = list.out.rfind("\"offset\": ");
    ASSERT_NE(key, std::string::npos);
    const std::size_t at = std::stoul(list.out.substr(key + 10));
    ASSERT_EQ(bytes[at], 0x53);  // 'S' of SZDD
    bytes[at + 10] += 1;         // the declared size, low byte
    FixChecksum(bytes);
    const RunResult verify = VerifyDamaged(bytes);
    EXPECT_EQ(verify.exitCode, 3);
    EXPECT_NE(verify.err.find("files[4] (big.bin): compressed data ends after 150000 of 150001 bytes"),
              std::string::npos)
        << verify.err;
}

TEST_F(KvpackInspect, VerifyRefusesAFirstRecordThatIsNotTheUninstaller) {
    auto bytes = m_installer;
    const std::string name = "Kvuninstall.exe";
    const auto at = std::search(bytes.rbegin(), bytes.rend(), name.rbegin(), name.rend());
    ASSERT_NE(at, bytes.rend());
    *(at.base() - static_cast<std::ptrdiff_t>(name.size())) = 'k';  // the manifest's copy, spelt "kvuninstall.exe"
    FixChecksum(bytes);
    const RunResult verify = VerifyDamaged(bytes);
    EXPECT_EQ(verify.exitCode, 3);
    EXPECT_NE(verify.err.find("files[1]: the first record must be Kvuninstall.exe with an empty folder"),
              std::string::npos)
        << verify.err;
}

TEST_F(KvpackInspect, ListAndVerifyRefuseAFileThatIsNoInstaller) {
    WriteBytes(m_dir / "plain.bin", SampleBytes(4000, 9));
    RunResult result = RunKvpack("list plain.bin", m_dir.path());
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_NE(result.err.find("plain.bin"), std::string::npos) << result.err;
    result = RunKvpack("verify missing.exe", m_dir.path());
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_NE(result.err.find("installer missing.exe: cannot open"), std::string::npos) << result.err;
}

// Signing with a certificate made on the spot: the uninstaller is signed before it is packed and the
// installer after it is built; osslsigncode and kvpack both accept the result.
TEST(KvpackSigned, BothToolsAcceptASignedInstallerAndAChangedPayloadByteIsRefused) {
    ScratchDir dir;
    // With the product's identity, which goes into the program image's resources before it is signed.
    WriteSampleProject(dir.path(),
                       "sign = \"osslsigncode sign -certs cert.pem -key key.pem -in {in} -out {out}\"\n"
                       "version = \"8.0\"\npublisher = \"Wine Project\"\nicon = \"" KV_SOURCE_DIR
                       "/examples/demo/kvdemo.ico\"\n");
    WriteBytes(dir / "stub.exe", MarkedProgram(KV_INSTALLER_MARK, 0, 1));
    WriteBytes(dir / "Kvuninstall.exe", MarkedProgram(KV_UNINSTALLER_MARK, 0, 2));
    const RunResult cert = RunShell(
        "openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 "
        "-subj /CN=KvpackTest",
        dir.path());
    ASSERT_EQ(cert.exitCode, 0) << cert.err;
    const RunResult build = RunKvpack("build project.toml -o setup.exe", dir.path());
    ASSERT_EQ(build.exitCode, 0) << build.err;
    EXPECT_NE(build.out.find(", signed)"), std::string::npos) << build.out;

    RunResult check = RunShell("osslsigncode verify -CAfile cert.pem -in setup.exe", dir.path());
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    const RunResult listed = RunKvpack("list setup.exe", dir.path());
    EXPECT_NE(listed.out.find("\"Wine Project\"\n  version    \"8.0\"\n"), std::string::npos) << listed.out;
    ASSERT_EQ(RunKvpack("extract setup.exe -d out", dir.path()).exitCode, 0);
    check = RunShell("osslsigncode verify -CAfile cert.pem -in out/Kvuninstall.exe", dir.path());
    EXPECT_EQ(check.exitCode, 0) << "the uninstaller was not signed before packing: " << check.out << check.err;

    const RunResult verify = RunKvpack("verify setup.exe", dir.path());
    EXPECT_EQ(verify.exitCode, 0) << verify.err;
    EXPECT_NE(verify.out.find("setup.exe: certificate table present, signature not checked: "), std::string::npos)
        << verify.out;
    const RunResult list = RunKvpack("list setup.exe", dir.path());
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("certificate table at"), std::string::npos) << list.out;

    auto bytes = ReadBytes(dir / "setup.exe");
    bytes[bytes.size() / 2] ^= 0x01;  // inside the largest entry
    WriteBytes(dir / "damaged.exe", bytes);
    const RunResult damaged = RunKvpack("verify damaged.exe", dir.path());
    EXPECT_EQ(damaged.exitCode, 3);
    EXPECT_NE(damaged.err.find("checksum mismatch"), std::string::npos) << damaged.err;

    // Signed by hand after an unsigned build: the stub's signing fields were zero already.
    std::string plain = ReadText(dir / "project.toml");
    const std::size_t signKey = plain.find("sign = \"osslsigncode");
    plain.erase(signKey, plain.find('\n', signKey) + 1 - signKey);
    WriteText(dir / "plain.toml", plain);
    ASSERT_EQ(RunKvpack("build plain.toml -o plain.exe", dir.path()).exitCode, 0);
    check = RunShell("osslsigncode sign -certs cert.pem -key key.pem -in plain.exe -out by-hand.exe", dir.path());
    ASSERT_EQ(check.exitCode, 0) << check.err;
    const RunResult byHand = RunKvpack("verify by-hand.exe", dir.path());
    EXPECT_EQ(byHand.exitCode, 0) << byHand.err;
    EXPECT_NE(byHand.out.find("by-hand.exe: certificate table present, signature not checked"), std::string::npos)
        << byHand.out;
}

// The manifests are read back by PyYAML and validated against winget's own schemas.
TEST(KvpackWinget, ManifestsValidateAndNameWhatTheInstallerCarries) {
    ScratchDir dir;
    WriteSampleProject(dir.path(),
                       "version = \"8.0\"\npublisher = \"Wine Project\"\nurl = \"https://wine.example/\"\n");
    ASSERT_EQ(RunKvpack("build project.toml -o setup.exe", dir.path()).exitCode, 0);
    const std::string url = "https://downloads.wine.example/setup.exe";
    RunResult result = RunKvpack("winget setup.exe --url " + url + " -o manifests", dir.path());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const RunResult check =
        RunShell(Quote(KV_PYTHON) + " " + Quote(KV_SOURCE_DIR "/tests/kvpack/winget_check.py") + " " +
                     Quote(KV_SOURCE_DIR "/tests/kvpack/winget-schemas") + " manifests setup.exe " + url,
                 dir.path());
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    EXPECT_EQ(check.out,
              "{\"apps and features\": [{\"DisplayName\": \"Test App\", \"DisplayVersion\": \"8.0\", \"ProductCode\": "
              "\"Test App\", \"Publisher\": \"Wine Project\"}], \"architecture\": \"x86\", \"elevation\": "
              "\"elevatesSelf\", \"identifier\": \"WineProject.TestApp\", \"name\": \"Test App\", \"package url\": "
              "\"https://wine.example/\", \"product code\": \"Test App\", \"publisher\": \"Wine Project\", \"sha256\": "
              "true, \"switches\": {\"InstallLocation\": \"OptDIR=\\\"<INSTALLPATH>\\\"\", \"Log\": "
              "\"OptLOG=\\\"<LOGPATH>\\\"\", \"Silent\": \"OptQ\", \"SilentWithProgress\": \"OptNP OptNL\"}, "
              "\"type\": \"exe\", \"url\": true, \"version\": \"8.0\"}\n\n");

    // An installer without a publisher and a version cannot be named in winget.
    WriteSampleProject(dir.path());
    ASSERT_EQ(RunKvpack("build project.toml -o plain.exe", dir.path()).exitCode, 0);
    result = RunKvpack("winget plain.exe --url " + url + " -o more", dir.path());
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("plain.exe: carries no publisher or no version"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace kv::tools::test
