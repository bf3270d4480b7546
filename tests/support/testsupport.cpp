#include "tests/support/testsupport.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace plyvet::test {
namespace fs = std::filesystem;

namespace {

[[noreturn]] void throwErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// A file descriptor closed when it goes out of scope.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

// Both ends with close-on-exec, so the child keeps only what the spawn
// actions give it; otherwise a second child could hold our pipes open.
std::pair<Fd, Fd> makePipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throwErrno("pipe2");
    return {Fd(fds[0]), Fd(fds[1])};
}

// Standard input goes through a socket so that writing to a child that has
// already exited fails with EPIPE instead of killing the test with SIGPIPE.
std::pair<Fd, Fd> makeSocketPair() {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) throwErrno("socketpair");
    return {Fd(fds[0]), Fd(fds[1])};
}

class SpawnActions {
public:
    SpawnActions() {
        if (int rc = posix_spawn_file_actions_init(&actions_); rc != 0) {
            throw std::system_error(rc, std::generic_category(), "posix_spawn_file_actions_init");
        }
    }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

    void check(int rc, const char* what) {
        if (rc != 0) throw std::system_error(rc, std::generic_category(), what);
    }

private:
    posix_spawn_file_actions_t actions_;
};

class SpawnAttributes {
public:
    SpawnAttributes() {
        if (int rc = posix_spawnattr_init(&attr_); rc != 0) {
            throw std::system_error(rc, std::generic_category(), "posix_spawnattr_init");
        }
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attr_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    posix_spawnattr_t* get() { return &attr_; }

private:
    posix_spawnattr_t attr_;
};

std::vector<std::string> mergedEnvironment(const Environment& additions) {
    std::vector<std::string> entries;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        const std::string_view entry(*e);
        const auto name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const auto& [key, value] : additions) replaced = replaced || key == name;
        if (!replaced) entries.emplace_back(entry);
    }
    for (const auto& [key, value] : additions) entries.push_back(key + "=" + value);
    return entries;
}

std::vector<char*> pointerArray(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (auto& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

int decodeWaitStatus(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

std::optional<fs::path> findInPath(std::string_view program) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "/usr/bin:/bin";
    while (true) {
        const auto colon = rest.find(':');
        const auto dir = rest.substr(0, colon);
        const fs::path candidate = fs::path(dir.empty() ? "." : std::string(dir)) / program;
        if (::access(candidate.c_str(), X_OK) == 0 && !fs::is_directory(candidate)) return candidate;
        if (colon == std::string_view::npos) return std::nullopt;
        rest.remove_prefix(colon + 1);
    }
}

void removeShapefileSet(const fs::path& shp) {
    for (const char* ext : {".shp", ".shx", ".dbf", ".cpg", ".prj", ".qix", ".sbn", ".sbx"}) {
        std::error_code ec;
        fs::remove(fs::path(shp).replace_extension(ext), ec);
    }
}

// CSV field quoted only where the CSV reader needs it.
std::string csvField(std::string_view value) {
    if (value.find_first_of(",\"\r\n") == std::string_view::npos &&
        (value.empty() || (value.front() != ' ' && value.back() != ' '))) {
        return std::string(value);
    }
    std::string out = "\"";
    for (char c : value) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

// GDAL reports failures as "ERROR <n>: ..." lines, sometimes with exit code 0.
bool reportsError(const std::string& stderrText) {
    return stderrText.starts_with("ERROR") || stderrText.find("\nERROR") != std::string::npos;
}

// Shape type of every record of a shapefile, read through its .shx; 0 is a
// null shape. Used to notice WKT that GDAL's CSV reader quietly turned into
// a null geometry.
std::vector<std::int32_t> shapeTypes(const fs::path& shp) {
    const std::string index = readFile(fs::path(shp).replace_extension(".shx"));
    const std::string data = readFile(shp);
    auto bigEndian = [](const std::string& b, std::size_t at) {
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 4; ++k) v = v << 8 | static_cast<unsigned char>(b.at(at + k));
        return v;
    };
    std::vector<std::int32_t> types;
    for (std::size_t at = 100; at + 8 <= index.size(); at += 8) {
        const std::size_t offset = std::size_t{bigEndian(index, at)} * 2 + 8;
        std::uint32_t type = 0;
        for (std::size_t k = 4; k-- > 0;) type = type << 8 | static_cast<unsigned char>(data.at(offset + k));
        types.push_back(static_cast<std::int32_t>(type));
    }
    return types;
}

constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at `i`, advancing `i`; std::nullopt for an
// invalid, overlong or truncated sequence (then `i` moves by one byte).
std::optional<char32_t> decodeUtf8(std::string_view s, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(s[i]);
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return std::nullopt;
    }
    if (i + length > s.size()) {
        ++i;
        return std::nullopt;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return std::nullopt;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return std::nullopt;
    }
    i += length;
    return cp;
}

}  // namespace

// --- TempDir --------------------------------------------------------------------

TempDir::TempDir(std::string_view prefix) {
    std::string name(prefix);
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    std::string pattern = (fs::temp_directory_path() / (name + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) throwErrno("mkdtemp " + pattern);
    path_ = pattern;
}

TempDir::~TempDir() {
    if (path_.empty() || std::getenv("PLYVET_KEEP_TEMP") != nullptr) return;
    std::error_code ec;
    fs::remove_all(path_, ec);
    if (!ec) return;
    // A test may have taken away write permission to check how a program
    // copes; give it back and try once more.
    for (auto it = fs::recursive_directory_iterator(path_, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code ignored;
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

TempDir::TempDir(TempDir&& other) noexcept : path_(std::exchange(other.path_, {})) {}

TempDir& TempDir::operator=(TempDir&& other) noexcept {
    if (this != &other) {
        TempDir old(std::move(*this));
        path_ = std::exchange(other.path_, {});
    }
    return *this;
}

// --- files ----------------------------------------------------------------------

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path.string());
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::runtime_error("cannot read " + path.string());
    return bytes;
}

void writeFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot create " + path.string());
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::string> splitLines(std::string_view text, std::string_view terminator) {
    if (terminator.empty()) throw std::invalid_argument("splitLines: empty terminator");
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find(terminator, start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + terminator.size();
    }
    return lines;
}

std::vector<std::string> readLines(const fs::path& path, std::string_view terminator) {
    return splitLines(readFile(path), terminator);
}

std::uint64_t fileDigest(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path.string());
    std::uint64_t hash = 0xcbf29ce484222325ull;
    std::array<char, 65536> buffer;
    while (in) {
        in.read(buffer.data(), buffer.size());
        const auto got = static_cast<std::size_t>(in.gcount());
        for (std::size_t i = 0; i < got; ++i) {
            hash ^= static_cast<unsigned char>(buffer[i]);
            hash *= 0x100000001b3ull;
        }
    }
    if (in.bad()) throw std::runtime_error("cannot read " + path.string());
    return hash;
}

FileSetDigest tripleDigest(const fs::path& shpPath) {
    FileSetDigest digests;
    for (const char* ext : {".shp", ".shx", ".dbf", ".cpg", ".prj"}) {
        const fs::path file = fs::path(shpPath).replace_extension(ext);
        std::error_code ec;
        if (fs::is_regular_file(file, ec)) digests[ext] = fileDigest(file);
    }
    return digests;
}

std::string utf8ToCp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto cp = decodeUtf8(utf8, i);
        if (!cp) {
            out += '?';
        } else if (*cp < 0x80 || (*cp >= 0xA0 && *cp <= 0xFF)) {
            out += static_cast<char>(*cp);
        } else {
            char mapped = '?';
            for (std::size_t k = 0; k < kCp1252High.size(); ++k) {
                if (kCp1252High[k] == *cp) mapped = static_cast<char>(0x80 + k);
            }
            out += mapped;
        }
    }
    return out;
}

std::string cp1252ToUtf8(std::string_view cp1252) {
    std::string out;
    out.reserve(cp1252.size() * 2);
    for (char c : cp1252) {
        const auto byte = static_cast<unsigned char>(c);
        appendUtf8(out, byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : char32_t{byte});
    }
    return out;
}

// --- programs -------------------------------------------------------------------

CommandResult runCommand(const std::vector<std::string>& argv, const RunOptions& options) {
    if (argv.empty()) throw std::invalid_argument("runCommand: empty argument list");
    CommandResult result;

    auto [outRead, outWrite] = makePipe();
    auto [errRead, errWrite] = makePipe();
    Fd inParent;
    Fd inChild;
    const bool feedStdin = !options.stdinText.empty();
    if (feedStdin) std::tie(inParent, inChild) = makeSocketPair();

    SpawnActions actions;
    if (feedStdin) {
        actions.check(posix_spawn_file_actions_adddup2(actions.get(), inChild.get(), STDIN_FILENO),
                      "adddup2 stdin");
    } else {
        actions.check(posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null",
                                                       O_RDONLY, 0),
                      "addopen stdin");
    }
    actions.check(posix_spawn_file_actions_adddup2(actions.get(), outWrite.get(), STDOUT_FILENO),
                  "adddup2 stdout");
    actions.check(posix_spawn_file_actions_adddup2(actions.get(), errWrite.get(), STDERR_FILENO),
                  "adddup2 stderr");
    const std::string cwd = options.workingDirectory.string();
    if (!cwd.empty()) {
        actions.check(posix_spawn_file_actions_addchdir_np(actions.get(), cwd.c_str()), "addchdir");
    }
    // Its own process group, so a timeout ends the child and whatever it started.
    SpawnAttributes attributes;
    posix_spawnattr_setpgroup(attributes.get(), 0);
    posix_spawnattr_setflags(attributes.get(), POSIX_SPAWN_SETPGROUP);

    std::vector<std::string> args = argv;
    std::vector<std::string> env = mergedEnvironment(options.env);
    auto argPointers = pointerArray(args);
    auto envPointers = pointerArray(env);

    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0].c_str(), actions.get(), attributes.get(),
                                argPointers.data(), envPointers.data());
    outWrite.reset();
    errWrite.reset();
    inChild.reset();
    if (rc != 0) {
        result.exitCode = 127;
        result.stderrText = "cannot run " + args[0] + ": " + std::strerror(rc);
        return result;
    }

    std::size_t written = 0;
    if (feedStdin) ::fcntl(inParent.get(), F_SETFL, O_NONBLOCK);
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    std::array<char, 65536> buffer;
    while (outRead || errRead) {
        std::array<pollfd, 3> fds{};
        nfds_t count = 0;
        auto add = [&](const Fd& fd, short events) {
            if (fd) fds[count++] = pollfd{fd.get(), events, 0};
        };
        add(outRead, POLLIN);
        add(errRead, POLLIN);
        add(inParent, POLLOUT);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(-pid, SIGKILL);
            result.timedOut = true;
            break;
        }
        const int ready = ::poll(fds.data(), count, static_cast<int>(left.count()));
        if (ready < 0) {
            if (errno == EINTR) continue;
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            throwErrno("poll");
        }
        for (nfds_t k = 0; k < count; ++k) {
            if (fds[k].revents == 0) continue;
            if (inParent && fds[k].fd == inParent.get()) {
                const ssize_t n = ::send(inParent.get(), options.stdinText.data() + written,
                                         options.stdinText.size() - written, MSG_NOSIGNAL);
                if (n > 0) written += static_cast<std::size_t>(n);
                if (n < 0 && errno != EAGAIN && errno != EINTR) inParent.reset();
                if (written == options.stdinText.size()) inParent.reset();
                continue;
            }
            Fd& source = fds[k].fd == outRead.get() ? outRead : errRead;
            std::string& sink = &source == &outRead ? result.stdoutText : result.stderrText;
            const ssize_t n = ::read(source.get(), buffer.data(), buffer.size());
            if (n > 0) {
                sink.append(buffer.data(), static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                source.reset();
            }
        }
    }
    inParent.reset();

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) throwErrno("waitpid");
    }
    result.exitCode = decodeWaitStatus(status);
    return result;
}

CommandResult runCommand(const std::vector<std::string>& argv, const Environment& env) {
    RunOptions options;
    options.env = env;
    return runCommand(argv, options);
}

fs::path binPath(std::string_view name) {
    const char* bin = std::getenv("PLYVET_BIN");
    const fs::path dir = bin != nullptr && *bin != '\0' ? fs::path(bin) : fs::path(PLYVET_DEFAULT_BIN_DIR);
    return dir / name;
}

// --- GDAL -----------------------------------------------------------------------

bool haveOgr() {
    static const bool found = findInPath("ogr2ogr").has_value() && findInPath("ogrinfo").has_value();
    return found;
}

void ogrFromWkt(const fs::path& outShp, const std::vector<OgrField>& fields,
                const std::vector<OgrRow>& rows, const OgrOptions& options) {
    TempDir work("plyvet-ogr");
    const std::string layer = outShp.stem().string();
    const fs::path csv = work / (layer + ".csv");

    std::string header = "WKT";
    std::string csvTypes = "\"WKT\"";
    for (const auto& field : fields) {
        header += "," + csvField(field.name);
        csvTypes += ",\"" + field.csvType + "\"";
    }
    std::string body = header + "\n";
    for (const auto& row : rows) {
        if (row.values.size() != fields.size()) {
            throw std::invalid_argument("ogrFromWkt: a row has " + std::to_string(row.values.size()) +
                                        " values for " + std::to_string(fields.size()) + " fields");
        }
        body += csvField(row.wkt);
        for (const auto& value : row.values) body += "," + csvField(value);
        body += "\n";
    }
    writeFile(csv, body);
    writeFile(work / (layer + ".csvt"), csvTypes + "\n");

    removeShapefileSet(outShp);
    std::vector<std::string> argv = {"ogr2ogr"};
    if (options.keepRingOrder) argv.insert(argv.end(), {"--config", "SHAPE_REWIND_ON_WRITE", "NO"});
    argv.insert(argv.end(), {"-f", "ESRI Shapefile", outShp.string(), csv.string(), "-oo",
                             "GEOM_POSSIBLE_NAMES=WKT", "-oo", "KEEP_GEOM_COLUMNS=NO", "-nln", layer,
                             "-nlt", "MULTIPOLYGON"});
    if (!options.encoding.empty()) argv.insert(argv.end(), {"-lco", "ENCODING=" + options.encoding});
    const auto run = runCommand(argv);
    if (run.exitCode != 0 || reportsError(run.stderrText)) {
        throw std::runtime_error("ogr2ogr failed for " + outShp.string() + " (exit " +
                                 std::to_string(run.exitCode) + "): " + run.stderrText);
    }
    const auto types = shapeTypes(outShp);
    if (types.size() != rows.size()) {
        throw std::runtime_error("ogr2ogr wrote " + std::to_string(types.size()) + " records for " +
                                 std::to_string(rows.size()) + " rows: " + run.stderrText);
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if ((types[i] == 0) != rows[i].wkt.empty()) {
            throw std::runtime_error("ogr2ogr did not understand the WKT of row " + std::to_string(i) +
                                     ": " + rows[i].wkt);
        }
    }
}

std::string ogrinfoSummary(const fs::path& shp, bool features) {
    std::vector<std::string> argv = {"ogrinfo", "-ro", "-al"};
    if (!features) argv.emplace_back("-so");
    argv.push_back(shp.string());
    const auto run = runCommand(argv);
    if (run.exitCode != 0 || reportsError(run.stderrText)) {
        throw std::runtime_error("ogrinfo failed for " + shp.string() + " (exit " +
                                 std::to_string(run.exitCode) + "): " + run.stderrText);
    }
    return run.stdoutText;
}

}  // namespace plyvet::test
