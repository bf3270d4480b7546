#include "pipeline/output_target.h"

#include "pipeline/gis/runtime_error.h"
#include "pipeline/home.h"
#include "pipeline/text.h"

#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

namespace plyvet {

namespace fs = std::filesystem;

std::string connectionErrorText(const ConnectionFailure& failure) {
    static constexpr const char* kReasons[] = {"Unknown error",    "Access denied",  "Invalid user",
                                               "Network timeout",  "Dataset invalid", "Tasks exceeded",
                                               "File not found",   "Invalid directory", "Host unknown"};
    std::string reason = (failure.code >= 1 && failure.code <= 9) ? kReasons[failure.code - 1]
                                                                   : std::to_string(failure.code);
    std::string message = "Connection Error: " + reason + "\r";
    if (failure.extendedCode != 0) {
        message += std::to_string(failure.extendedCode) + ": " + failure.extendedDescription;
    }
    return message;
}

std::optional<ConnectionFailure> connectFolder(const fs::path& folder, bool forOutput) {
    std::error_code ec;
    const auto status = fs::status(folder, ec);
    if (ec || !fs::exists(status)) {
        return ConnectionFailure{static_cast<int>(ConnectionError::InvalidDirectory), ec.value(),
                                 ec ? ec.message() : std::string("No such file or directory")};
    }
    if (!fs::is_directory(status)) {
        return ConnectionFailure{static_cast<int>(ConnectionError::InvalidDirectory), ENOTDIR,
                                 std::strerror(ENOTDIR)};
    }
    fs::directory_iterator probe(folder, ec);
    if (ec) {
        return ConnectionFailure{static_cast<int>(ConnectionError::AccessDenied), ec.value(), ec.message()};
    }
    if (forOutput && !isWritableFolder(folder)) {
        return ConnectionFailure{static_cast<int>(ConnectionError::AccessDenied), EACCES, std::strerror(EACCES)};
    }
    return std::nullopt;
}

bool deleteShapefileFiles(const fs::path& folder, std::string_view name, std::string& error, int& errorNumber) {
    const std::string prefix = std::string(name) + ".";
    std::vector<fs::path> doomed;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string file = it->path().filename().string();
        if (file.size() > prefix.size() && file.compare(0, prefix.size(), prefix) == 0 &&
            !it->is_directory(ec)) {
            doomed.push_back(it->path());
        }
    }
    if (ec) {
        error = ec.message();
        errorNumber = err::kPermissionDenied;
        return false;
    }
    for (const auto& p : doomed) {
        if (!fs::remove(p, ec) && ec) {
            error = "Zugriff verweigert: " + p.string() + " (" + ec.message() + ")";
            errorNumber = (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted)
                              ? err::kPermissionDenied
                              : err::kPathFileAccess;
            return false;
        }
    }
    return true;
}

namespace {

bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec);
    // Case-insensitive file systems make "Flur" and "flur" one file.
    return text::equalsIgnoreCase(fs::absolute(a, ec).lexically_normal().string(),
                                  fs::absolute(b, ec).lexically_normal().string());
}

}  // namespace

std::optional<std::string> chooseOutputName(const fs::path& folder, std::string_view baseName,
                                            std::string_view ending, const fs::path& sourceBase,
                                            RunSettings& settings, Ui& ui) {
    std::string name = std::string(baseName) + std::string(ending);
    bool first = true;
    std::error_code ec;
    while (fs::exists(folder / (name + ".dbf"), ec)) {
        if (settings.overwriteExistingShapeFiles) break;
        const std::string existing =
            first ? std::string(baseName) + std::string(ending) : (folder / (name + ".dbf")).string();
        first = false;
        const std::string prompt = "Shapefile " + existing +
                                   " bereits vorhanden. Sie können den vorgeschlagenen Dateinamen behalten\n"
                                   "oder einen neuen Namen eingeben";
        const std::string answer(text::trim(ui.inputBox(prompt, "Warnung", name)));
        if (answer.empty()) {
            settings.continueRun = false;
            return std::nullopt;
        }
        if (text::equalsIgnoreCase(answer, name)) break;
        name = answer;
    }

    // The source triple is never touched: a name that leads back to it (the
    // user typed the source's own name) is refused instead of overwritten.
    if (sameFile(folder / (name + ".shp"), fs::path(sourceBase.string() + ".shp")) ||
        sameFile(folder / (name + ".dbf"), fs::path(sourceBase.string() + ".dbf"))) {
        ui.message({"Der Ausgabename " + name + " bezeichnet das Quell-Shapefile selbst. "
                    "Es wird nicht überschrieben; die Bearbeitung dieses Shapefiles wird abgebrochen.",
                    "Warnung", Buttons::Ok, Icon::Critical});
        return std::nullopt;
    }

    if (fs::exists(folder / (name + ".dbf"), ec)) {
        std::string error;
        int number = 0;
        if (!deleteShapefileFiles(folder, name, error, number)) {
            std::string text = error;
            if (number == err::kPermissionDenied) {
                text += "\r\nSie haben wahrscheinlich in einer Sitzung zweimal denselben Shapefile ausgewählt."
                        "\r\nAuf diesen können Sie erst wieder zugreifen, wenn Sie das Programm neu starten.";
            }
            ui.message({text, "Warnung", Buttons::Ok, Icon::Critical});
            return std::nullopt;
        }
    }
    return name;
}

}  // namespace plyvet
