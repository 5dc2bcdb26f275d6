// The installer reading its own open file: the archive reader over the file stream, what it loads
// and what it refuses.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "archive/checksum.h"
#include "archive/installer_file.h"
#include "archive/manifest_io.h"
#include "startup/installer_stream.h"

namespace kv::startup {
namespace {

using Bytes = std::vector<std::uint8_t>;

archive::Manifest SampleManifest() {
    archive::Manifest m;
    m.title = "Sample Product";
    m.displayName = "Sample Product 1.0";
    m.setupName = "SETUP.EXE";
    m.defaultFolder = "C:\\Sample";
    m.runFile = "APP.EXE";
    m.programsFolder = "Sample";
    m.files.push_back({archive::kUninstallerName, "", "", 0, 0, "", 0, 0});
    m.files.push_back({"APP.EXE", "", "", 1, 0, "Sample App", 0, 0});
    return m;
}

// An open stream over `bytes`, for the installer stream to own.
std::FILE* TempStream(const Bytes& bytes) {
    std::FILE* file = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    return file;
}

Bytes Installer(const archive::Manifest& manifest) {
    const Bytes image(512, 0x4D);
    return archive::BuildInstaller(image, manifest, {Bytes{1, 2, 3}, Bytes{4, 5, 6, 7}});
}

// Gives a deliberately changed file a matching checksum, so that the reader gets past it.
void Reseal(Bytes& file) {
    const std::uint32_t sum = archive::ChecksumOf(file);
    for (int i = 0; i < 4; ++i) file[file.size() - 4 + i] = static_cast<std::uint8_t>(sum >> (8 * i));
}

// A manifest block written as is (limits not enforced) behind a program image, with its trailer
// and a matching checksum.
Bytes RawInstaller(const Bytes& manifestBlock) {
    Bytes file = manifestBlock;
    file.insert(file.begin(), 64, 0x4D);
    const auto length = static_cast<std::uint32_t>(manifestBlock.size());
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    for (int i = 0; i < 4; ++i) file.push_back(0);
    Reseal(file);
    return file;
}

// Opens the installer through the installer's own file source, as its initialisation does.
archive::OpenedInstaller LoadThroughStream(const Bytes& file) {
    InstallerStream source(TempStream(file));
    return archive::OpenInstaller(source);
}

TEST(InstallerStream, LoadsWhatTheBuilderWrote) {
    const archive::Manifest manifest = SampleManifest();
    const Bytes file = Installer(manifest);
    EXPECT_EQ(InstallerStream(TempStream(file)).Size(), file.size());
    const archive::OpenedInstaller loaded = LoadThroughStream(file);
    EXPECT_EQ(loaded.manifest.title, manifest.title);
    EXPECT_EQ(loaded.manifest.defaultFolder, manifest.defaultFolder);
    ASSERT_EQ(loaded.manifest.files.size(), 2u);
    EXPECT_EQ(loaded.manifestBlock.size(), loaded.trailer.manifestLength);
    EXPECT_EQ(loaded.manifestStart + loaded.manifestBlock.size() + 8, file.size());
    // The cursor stands on runFile, right behind the four header strings and their terminators.
    const std::size_t expected = manifest.title.size() + manifest.displayName.size() + manifest.setupName.size() +
                                 manifest.defaultFolder.size() + 4;
    EXPECT_EQ(loaded.headerEnd, expected);
    EXPECT_EQ(0, std::memcmp(loaded.manifestBlock.data() + loaded.headerEnd, "APP.EXE", 8));
}

TEST(InstallerStream, RefusesFilesTooShortOrPointingOutside) {
    {
        const Bytes file{1, 2, 3};
        EXPECT_THROW(LoadThroughStream(file), archive::FormatError);
    }
    {
        Bytes file = Installer(SampleManifest());
        file[file.size() - 8] = 0xFF;  // manifestLength far beyond the file
        file[file.size() - 5] = 0x7F;
        Reseal(file);
        EXPECT_THROW(LoadThroughStream(file), archive::FormatError);
    }
}

TEST(InstallerStream, RefusesBrokenLimitsAndCounts) {
    archive::Manifest tooLong = SampleManifest();
    tooLong.title = std::string(125, 'T');  // one past the title buffer
    {
        const Bytes file = RawInstaller(archive::WriteManifest(tooLong));
        EXPECT_THROW(LoadThroughStream(file), archive::FormatError);
    }
    // fileCount claims more records than the block holds.
    Bytes block = archive::WriteManifest(SampleManifest());
    block.push_back(0);
    const Bytes file = RawInstaller(block);
    const archive::OpenedInstaller loaded = LoadThroughStream(file);
    ASSERT_EQ(loaded.manifest.files.size(), 2u);
    // The count sits right after the settings count; find it by its known value 2.
    Bytes broken = block;
    bool patched = false;
    for (std::size_t i = loaded.headerEnd; i + 4 <= broken.size(); ++i) {
        if (broken[i] == 2 && broken[i + 1] == 0 && broken[i + 2] == 0 && broken[i + 3] == 0) {
            broken[i] = 0x40;
            patched = true;
            break;
        }
    }
    ASSERT_TRUE(patched);
    const Bytes brokenFile = RawInstaller(broken);
    EXPECT_THROW(LoadThroughStream(brokenFile), archive::FormatError);
}

}  // namespace
}  // namespace kv::startup
