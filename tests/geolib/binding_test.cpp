// Finding the library and its exports, and the errors when either is missing.

#include "library_fixture.h"

#include "pipeline/gis/runtime_error.h"

#include <link.h>

#include <functional>
#include <vector>

namespace plyvet::geolib::test {
namespace {

constexpr std::int32_t kStubVersion = 0x0100FFFF;

// Every export the binding offers, called once with harmless arguments.
struct ExportCall {
    const char* name;
    std::function<void()> call;
};

std::vector<ExportCall> everyExport() {
    static const std::vector<PlyvetXY> ring = {{0, 0}, {1, 0}, {1, 1}};
    return {
        {"GVRS", [] { gvrs(); }},
        {"GVSS", [] { gvss(); }},
        {"ROUD", [] { roud(1.5, 0); }},
        {"ROUD",
         [] {
             PlyvetXY points[] = {{1.5, 2.5}};
             roudEach(points, 1, 0);
         }},
        {"INRG", [] { inrg(1, 0, 2); }},
        {"IIBR", [] { iibr(1, 0, 2, 0, 2); }},
        {"GISC",
         [] {
             std::int32_t a = 0, b = 0;
             PlyvetXY point{};
             gisc(ring.data(), 3, a, b, point);
         }},
    };
}

// Runs call and returns the RuntimeError it raised (number 0 when none).
RuntimeError raisedBy(const std::function<void()>& call) {
    try {
        call();
    } catch (const RuntimeError& error) {
        return error;
    }
    return RuntimeError(0, "", "");
}

std::vector<std::filesystem::path> loadedObjects() {
    std::vector<std::filesystem::path> paths;
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) {
            if (info->dlpi_name != nullptr && *info->dlpi_name != '\0')
                static_cast<std::vector<std::filesystem::path>*>(data)->emplace_back(info->dlpi_name);
            return 0;
        },
        &paths);
    return paths;
}

bool isLoaded(const std::filesystem::path& file) {
    for (const auto& path : loadedObjects()) {
        std::error_code error;
        if (std::filesystem::equivalent(path, file, error)) return true;
    }
    return false;
}

class LibraryBinding : public HelperLibrary {
protected:
    // A folder holding the stand-in library under the real library's name.
    void putStubInto(const TempFolder& folder) {
        std::filesystem::copy_file(binFolder() / PLYVET_STUB_FILE_NAME,
                                   folder.path() / libraryFileName());
    }
};

TEST_F(LibraryBinding, PlatformFileName) { EXPECT_EQ(libraryFileName(), "libPlyvet.so"); }

TEST_F(LibraryBinding, DefaultFolderIsTheProgramFolder) {
    setLibraryFolder({});
    EXPECT_EQ(gvrs(), kVersion);
    const auto beside = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "libPlyvet.so";
    EXPECT_TRUE(isLoaded(beside));
}

// Neither the (empty) folder nor the normal search knows the overridden name.
TEST_F(LibraryBinding, MissingLibraryFailsEveryExportWith53) {
    const TempFolder empty;
    setLibraryFolder(empty.path());
    setLibraryFileName("libPlyvetNowhere.so");
    for (const auto& e : everyExport()) {
        const RuntimeError error = raisedBy(e.call);
        EXPECT_EQ(error.number(), 53) << e.name;
        EXPECT_EQ(error.source(), "Plyvet") << e.name;
        EXPECT_EQ(error.description(), "Datei nicht gefunden: libPlyvetNowhere.so") << e.name;
    }
}

// A failed load is not remembered: a library that turns up later is used.
TEST_F(LibraryBinding, LibraryThatAppearsLaterIsFound) {
    const TempFolder folder;
    setLibraryFolder(folder.path());
    setLibraryFileName("libPlyvetLater.so");
    ASSERT_EQ(raisedBy([] { gvrs(); }).number(), 53);
    std::filesystem::copy_file(binFolder() / "libPlyvet.so", folder.path() / "libPlyvetLater.so");
    EXPECT_EQ(gvrs(), kVersion);
}

TEST_F(LibraryBinding, MissingExportFailsThatExportWith453) {
    const TempFolder folder;
    putStubInto(folder);
    setLibraryFolder(folder.path());
    for (const auto& e : everyExport()) {
        const RuntimeError error = raisedBy(e.call);
        const std::string name = e.name;
        if (name == "GVRS" || name == "GVSS") {
            EXPECT_EQ(error.number(), 0) << name << ": " << error.description();
            continue;
        }
        EXPECT_EQ(error.number(), 453) << name;
        EXPECT_EQ(error.source(), "Plyvet") << name;
        EXPECT_EQ(error.description(), "DLL-Einsprungpunkt " + name + " in libPlyvet.so nicht gefunden");
    }
    // The exports that exist were bound from the stand-in.
    EXPECT_EQ(gvrs(), kStubVersion);
    EXPECT_EQ(gvss(), "255.255.0.1");
}

// With the real library already loaded, the plain name would resolve to it;
// the program folder still wins.
TEST_F(LibraryBinding, ProgramFolderComesBeforeTheNormalSearch) {
    const DlHandle real = openBuiltLibrary();
    ASSERT_TRUE(real);
    const TempFolder folder;
    putStubInto(folder);
    setLibraryFolder(folder.path());
    EXPECT_EQ(gvrs(), kStubVersion);
}

// Not in the folder: the plain name through the system's search. An already
// loaded library of that name is what the search finds, wherever it lies.
TEST_F(LibraryBinding, FallsBackToTheNormalSearch) {
    const DlHandle real = openBuiltLibrary();
    ASSERT_TRUE(real);
    const TempFolder empty;
    setLibraryFolder(empty.path());
    EXPECT_EQ(gvrs(), kVersion);
    EXPECT_EQ(roud(0.375, 2), 0.38);
}

TEST_F(LibraryBinding, SettingTheFolderDropsEarlierBindings) {
    EXPECT_EQ(gvrs(), kVersion);
    const TempFolder folder;
    putStubInto(folder);
    setLibraryFolder(folder.path());
    EXPECT_EQ(gvrs(), kStubVersion);
    setLibraryFolder(binFolder());
    EXPECT_EQ(gvrs(), kVersion);
}

}  // namespace
}  // namespace plyvet::geolib::test
