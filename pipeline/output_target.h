#pragma once
// Where a corrected copy goes: the folder connections and the output name
// with its overwrite rules.

#include "pipeline/run_options.h"
#include "pipeline/ui.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace plyvet {

// Error codes of a folder connection.
enum class ConnectionError : int {
    Unknown = 1,
    AccessDenied = 2,
    InvalidUser = 3,
    NetworkTimeout = 4,
    DatasetInvalid = 5,
    TasksExceeded = 6,
    FileNotFound = 7,
    InvalidDirectory = 8,
    HostUnknown = 9,
};

struct ConnectionFailure {
    int code = 0;                     // ConnectionError value, or another number
    int extendedCode = 0;             // 0 when there is no extended error
    std::string extendedDescription;  // the system's text for the extended code
};

// "Connection Error: <reason>", then CR and "<code>: <text>" when there is an extended error.
std::string connectionErrorText(const ConnectionFailure& failure);

// Opens a folder as a shapefile workspace: it must be a folder that can be
// listed, and for output also written. std::nullopt on success.
std::optional<ConnectionFailure> connectFolder(const std::filesystem::path& folder, bool forOutput);

// Chooses the output name "<baseName><ending>" in `folder`, asking through the UI
// when it exists and overwriting is off, and deletes the old output files of
// the kept name. Returns the name without extension, or std::nullopt when
// the file must stop (`settings.continueRun` is set False where the user
// refused). `sourceBase` is the source path without extension: a name that
// would replace the source itself is refused.
std::optional<std::string> chooseOutputName(const std::filesystem::path& folder, std::string_view baseName,
                                            std::string_view ending, const std::filesystem::path& sourceBase,
                                            RunSettings& settings, Ui& ui);

// Deletes every file "<folder>/<name>.*". False (with the error text) when one cannot be deleted.
bool deleteShapefileFiles(const std::filesystem::path& folder, std::string_view name, std::string& error,
                          int& errorNumber);

}  // namespace plyvet
