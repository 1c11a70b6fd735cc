// A bounded random driver for the fuzz targets where libFuzzer is not available (gcc builds):
// it feeds the target its seed inputs, then random inputs and mutations of the seeds, from a
// fixed seed, until a number of inputs or a time is reached. It reads libFuzzer's options, so
// ctest runs either engine with the same command line:
//
//   fuzz_x [-seed=N] [-runs=N] [-max_total_time=S] [-max_len=N] [-dict=FILE] DIR|FILE...
//
// Directories are seed corpora (every file in them is a seed); a file alone is one input to
// run once, as when reproducing a failure. An input that makes the target fail is written to
// crash-<target>-<pid> in the working directory before the process dies.

#include "fuzzing.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) __attribute__((weak));
extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

namespace {

using Bytes = std::vector<uint8_t>;

// The input being run, for the crash handlers.
const uint8_t *g_current = nullptr;
size_t g_currentSize = 0;
char g_crashPath[512] = "";

void writeCurrentInput()
{
    static bool written = false;
    if (written || !g_crashPath[0])
        return;
    written = true;
    const int fd = ::open(g_crashPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return;
    size_t done = 0;
    while (done < g_currentSize) {
        const ssize_t n = ::write(fd, g_current + done, g_currentSize - done);
        if (n <= 0)
            break;
        done += size_t(n);
    }
    ::close(fd);
    const char prefix[] = "fuzz: the failing input is in ";
    [[maybe_unused]] ssize_t ignored = ::write(2, prefix, sizeof prefix - 1);
    ignored = ::write(2, g_crashPath, std::strlen(g_crashPath));
    ignored = ::write(2, "\n", 1);
}

void onFatalSignal(int signal)
{
    writeCurrentInput();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// A dictionary file in libFuzzer's format: one "token" per line, with \\, \" and \xNN escapes.
std::vector<Bytes> readDictionary(const std::string &path)
{
    std::vector<Bytes> tokens;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const size_t open = line.find('"');
        const size_t close = line.rfind('"');
        if (line.empty() || line[0] == '#' || open == std::string::npos || close <= open)
            continue;
        Bytes token;
        for (size_t i = open + 1; i < close; ++i) {
            if (line[i] == '\\' && i + 1 < close) {
                const char next = line[++i];
                if (next == 'x' && i + 2 < close) {
                    token.push_back(uint8_t(std::stoi(line.substr(i + 1, 2), nullptr, 16)));
                    i += 2;
                } else {
                    token.push_back(uint8_t(next));
                }
            } else {
                token.push_back(uint8_t(line[i]));
            }
        }
        if (!token.empty())
            tokens.push_back(std::move(token));
    }
    return tokens;
}

Bytes readFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class Mutator
{
public:
    Mutator(uint64_t seed, std::vector<Bytes> seeds, std::vector<Bytes> dictionary, size_t maxLen)
        : m_rng(seed)
        , m_seeds(std::move(seeds))
        , m_dictionary(std::move(dictionary))
        , m_maxLen(maxLen)
    {
        if (m_seeds.empty())
            m_seeds.emplace_back();
    }

    Bytes next()
    {
        if (chance(10))
            return randomBytes(below(257));
        Bytes data = m_seeds[below(m_seeds.size())];
        const size_t mutations = 1 + below(8);
        for (size_t i = 0; i < mutations; ++i)
            mutate(data);
        if (data.size() > m_maxLen)
            data.resize(m_maxLen);
        return data;
    }

private:
    size_t below(size_t n) { return n == 0 ? 0 : size_t(m_rng() % n); }
    bool chance(int percent) { return int(below(100)) < percent; }

    uint8_t randomByte()
    {
        // Mostly printable text, where the parsers' interesting characters are.
        return chance(75) ? uint8_t(0x20 + below(0x5f)) : uint8_t(below(256));
    }

    Bytes randomBytes(size_t n)
    {
        Bytes b(n);
        for (uint8_t &c : b)
            c = randomByte();
        return b;
    }

    const Bytes &token() { return m_dictionary[below(m_dictionary.size())]; }

    void mutate(Bytes &d)
    {
        const size_t pos = below(d.size() + 1);
        switch (below(9)) {
        case 0: // flip a bit
            if (!d.empty())
                d[below(d.size())] ^= uint8_t(1u << below(8));
            break;
        case 1: // replace a byte
            if (!d.empty())
                d[below(d.size())] = randomByte();
            break;
        case 2: { // insert bytes
            const Bytes b = randomBytes(1 + below(4));
            d.insert(d.begin() + long(pos), b.begin(), b.end());
            break;
        }
        case 3: // erase a range
            if (!d.empty()) {
                const size_t from = below(d.size());
                const size_t n = 1 + below(std::min<size_t>(d.size() - from, 16));
                d.erase(d.begin() + long(from), d.begin() + long(from + n));
            }
            break;
        case 4: // copy a range elsewhere
            if (!d.empty()) {
                const size_t from = below(d.size());
                const size_t n = 1 + below(std::min<size_t>(d.size() - from, 64));
                const Bytes part(d.begin() + long(from), d.begin() + long(from + n));
                d.insert(d.begin() + long(below(d.size() + 1)), part.begin(), part.end());
            }
            break;
        case 5: // insert a dictionary token
        case 6:
            if (!m_dictionary.empty()) {
                const Bytes &t = token();
                d.insert(d.begin() + long(pos), t.begin(), t.end());
            }
            break;
        case 7: // replace a range with a token
            if (!m_dictionary.empty() && !d.empty()) {
                const size_t from = below(d.size());
                const size_t n = 1 + below(std::min<size_t>(d.size() - from, 8));
                const Bytes &t = token();
                d.erase(d.begin() + long(from), d.begin() + long(from + n));
                d.insert(d.begin() + long(from), t.begin(), t.end());
            }
            break;
        case 8: { // splice with another seed
            const Bytes &other = m_seeds[below(m_seeds.size())];
            const size_t cut = below(other.size() + 1);
            d.resize(pos);
            d.insert(d.end(), other.begin() + long(cut), other.end());
            break;
        }
        }
    }

    std::mt19937_64 m_rng;
    std::vector<Bytes> m_seeds;
    std::vector<Bytes> m_dictionary;
    size_t m_maxLen;
};

bool option(const char *arg, const char *name, std::string *value)
{
    const size_t n = std::strlen(name);
    if (std::strncmp(arg, name, n) != 0 || arg[n] != '=')
        return false;
    *value = arg + n + 1;
    return true;
}

int run(const Bytes &input)
{
    g_current = input.data();
    g_currentSize = input.size();
    return LLVMFuzzerTestOneInput(input.data(), input.size());
}

} // namespace

int main(int argc, char **argv)
{
    uint64_t seed = 1;
    long long runs = 100000;
    double seconds = 0;
    size_t maxLen = 0;
    std::vector<Bytes> dictionary;
    std::vector<Bytes> seeds;
    std::vector<std::string> singles;
    for (int i = 1; i < argc; ++i) {
        std::string value;
        if (option(argv[i], "-seed", &value))
            seed = std::stoull(value);
        else if (option(argv[i], "-runs", &value))
            runs = std::stoll(value);
        else if (option(argv[i], "-max_total_time", &value))
            seconds = std::stod(value);
        else if (option(argv[i], "-max_len", &value))
            maxLen = std::stoull(value);
        else if (option(argv[i], "-dict", &value))
            dictionary = readDictionary(value);
        else if (argv[i][0] == '-')
            continue; // another libFuzzer option: no meaning here
        else if (std::filesystem::is_directory(argv[i])) {
            std::vector<std::filesystem::path> files;
            for (const auto &entry : std::filesystem::directory_iterator(argv[i]))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            std::sort(files.begin(), files.end()); // the same order on every run
            for (const auto &file : files)
                seeds.push_back(readFile(file));
        } else {
            singles.emplace_back(argv[i]);
        }
    }

    const std::string name = std::filesystem::path(argv[0]).filename().string();
    std::snprintf(g_crashPath, sizeof g_crashPath, "crash-%s-%d", name.c_str(), int(getpid()));
    for (const int s : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL})
        std::signal(s, onFatalSignal);
    if (__sanitizer_set_death_callback)
        __sanitizer_set_death_callback(writeCurrentInput);
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);

    if (!singles.empty()) {
        for (const std::string &file : singles)
            run(readFile(file));
        std::printf("%s: ran %zu input(s)\n", name.c_str(), singles.size());
        return 0;
    }

    if (maxLen == 0) {
        maxLen = 4096;
        for (const Bytes &s : seeds)
            maxLen = std::max(maxLen, s.size());
    }
    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    long long done = 0;
    run(Bytes());
    ++done;
    for (const Bytes &s : seeds) {
        run(s);
        ++done;
    }
    Mutator mutator(seed, seeds, dictionary, maxLen);
    while (done < runs && (seconds <= 0 || elapsed() < seconds)) {
        run(mutator.next());
        ++done;
    }
    std::printf("%s: %lld inputs (%zu seeds, %zu tokens, seed %llu) in %.1f s, no failure\n",
                name.c_str(), done, seeds.size(), dictionary.size(),
                static_cast<unsigned long long>(seed), elapsed());
    return 0;
}
