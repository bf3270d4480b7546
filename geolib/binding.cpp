// Late binding of the helper library: the library is opened at the first call
// of any export, each export is looked up at its own first call and kept.

#include "geolib/binding.h"

#include "pipeline/gis/runtime_error.h"

#include <array>
#include <atomic>
#include <bit>
#include <memory>
#include <mutex>
#include <system_error>
#include <type_traits>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

// The library folder relative to the program's in an installed layout; the
// build sets it from its install folders.
#ifndef PLYVET_LIBRARY_FROM_PROGRAM
#define PLYVET_LIBRARY_FROM_PROGRAM "../lib"
#endif

namespace plyvet::geolib {

namespace {

constexpr const char* kSource = "Plyvet";

#if defined(_WIN32)
constexpr std::string_view kPlatformFileName = "Plyvet.dll";
#else
constexpr std::string_view kPlatformFileName = "libPlyvet.so";
#endif

// The two failures, number and German description side by side.
RuntimeError libraryMissing(const std::string& fileName) {
    return RuntimeError(err::kFileNotFound, kSource, "Datei nicht gefunden: " + fileName);
}

RuntimeError exportMissing(const char* exportName, const std::string& fileName) {
    return RuntimeError(err::kEntryPointMissing, kSource,
                        std::string("DLL-Einsprungpunkt ") + exportName + " in " + fileName +
                            " nicht gefunden");
}

enum class Export : std::size_t { Gvrs, Gvss, Roud, Inrg, Iibr, Gisc };
constexpr std::array<const char*, 6> kExportNames{"GVRS", "GVSS", "ROUD", "INRG", "IIBR", "GISC"};

#if defined(_WIN32)
struct LibraryCloser {
    void operator()(HMODULE module) const noexcept { FreeLibrary(module); }
};
using LibraryHandle = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryCloser>;

LibraryHandle openLibrary(const std::filesystem::path& file) {
    return LibraryHandle(LoadLibraryW(file.c_str()));
}

void* findExport(const LibraryHandle& library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(library.get(), name));
}

std::filesystem::path programFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return std::filesystem::path(buffer).parent_path();
        }
        buffer.resize(buffer.size() * 2);
    }
}
#else
struct LibraryCloser {
    void operator()(void* library) const noexcept { dlclose(library); }
};
using LibraryHandle = std::unique_ptr<void, LibraryCloser>;

LibraryHandle openLibrary(const std::filesystem::path& file) {
    return LibraryHandle(dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL));
}

void* findExport(const LibraryHandle& library, const char* name) {
    return dlsym(library.get(), name);
}

std::filesystem::path programFolder() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : executable.parent_path();
}
#endif

class Binding {
public:
    void* exportAddress(Export which) {
        std::atomic<void*>& slot = exports_[static_cast<std::size_t>(which)];
        if (void* address = slot.load(std::memory_order_acquire)) return address;

        const std::lock_guard lock(mutex_);
        if (void* address = slot.load(std::memory_order_relaxed)) return address;
        if (!library_) library_ = load();
        const char* name = kExportNames[static_cast<std::size_t>(which)];
        void* address = findExport(library_, name);
        if (address == nullptr) throw exportMissing(name, currentFileName());
        slot.store(address, std::memory_order_release);
        return address;
    }

    void setFolder(const std::filesystem::path& folder) {
        const std::lock_guard lock(mutex_);
        reset();
        folder_ = folder;
    }

    void setFileName(std::string_view fileName) {
        const std::lock_guard lock(mutex_);
        reset();
        fileName_ = fileName;
    }

    std::string fileName() {
        const std::lock_guard lock(mutex_);
        return currentFileName();
    }

private:
    std::string currentFileName() const {
        return fileName_.empty() ? std::string(kPlatformFileName) : fileName_;
    }

    // The program folder first; for the default folder also the library
    // folder of an installed layout (bin/plyvet beside lib/libPlyvet.so);
    // then the plain name through the system's search.
    LibraryHandle load() const {
        const std::string name = currentFileName();
        const std::filesystem::path folder = folder_.empty() ? programFolder() : folder_;
        if (!folder.empty()) {
            if (auto library = openLibrary(folder / name)) return library;
            if (folder_.empty()) {
                if (auto library = openLibrary(folder / PLYVET_LIBRARY_FROM_PROGRAM / name)) return library;
            }
        }
        if (auto library = openLibrary(name)) return library;
        throw libraryMissing(name);
    }

    // Addresses first: none may outlive the library they point into.
    void reset() {
        for (auto& slot : exports_) slot.store(nullptr, std::memory_order_release);
        library_.reset();
    }

    std::mutex mutex_;
    std::filesystem::path folder_;
    std::string fileName_;
    LibraryHandle library_;
    std::array<std::atomic<void*>, kExportNames.size()> exports_{};
};

Binding& binding() {
    static Binding instance;
    return instance;
}

template <typename Function>
Function bound(Export which) {
    static_assert(sizeof(Function) == sizeof(void*));
    return std::bit_cast<Function>(binding().exportAddress(which));
}

}  // namespace

void setLibraryFolder(const std::filesystem::path& folder) { binding().setFolder(folder); }

std::string libraryFileName() { return binding().fileName(); }

void setLibraryFileName(std::string_view fileName) { binding().setFileName(fileName); }

std::int32_t gvrs() { return bound<decltype(&::GVRS)>(Export::Gvrs)(); }

std::string gvss() {
    const char* text = bound<decltype(&::GVSS)>(Export::Gvss)();
    return text != nullptr ? std::string(text) : std::string();
}

double roud(double value, std::int16_t decimals) {
    return bound<decltype(&::ROUD)>(Export::Roud)(value, &decimals);
}

void roudEach(PlyvetXY* points, std::size_t count, std::int16_t decimals) {
    if (count == 0) return;
    const auto round = bound<decltype(&::ROUD)>(Export::Roud);
    for (std::size_t k = 0; k < count; ++k) {
        points[k].x = round(points[k].x, &decimals);
        points[k].y = round(points[k].y, &decimals);
    }
}

bool inrg(double v, double p, double q) { return bound<decltype(&::INRG)>(Export::Inrg)(v, p, q) != 0; }

bool iibr(double v, double p1, double q1, double p2, double q2) {
    return bound<decltype(&::IIBR)>(Export::Iibr)(v, p1, q1, p2, q2) != 0;
}

std::int32_t gisc(const PlyvetXY* ring, std::int32_t n, std::int32_t& a, std::int32_t& b,
                  PlyvetXY& point) {
    return bound<decltype(&::GISC)>(Export::Gisc)(ring, n, &a, &b, &point);
}

}  // namespace plyvet::geolib
