#include "unzip_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "names.h"
#include "testenv.h"

namespace unziptest {

bool haveTool(const std::string &name)
{
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

bool run(const std::string &command)
{
    return std::system(command.c_str()) == 0;
}

bool runPython(const std::string &program, const std::string &args)
{
    static int counter = 0;
    std::string path = brxtest::scratchDir() + "/script" + std::to_string(++counter) + ".py";
    std::ofstream(path) << program;
    // The interpreter itself, not a version-manager shim that costs a second per start.
    static const std::string python = [] {
        std::string exe;
        if (FILE *p = popen("python3 -c 'import sys; print(sys.executable)' 2>/dev/null", "r")) {
            char buf[4096];
            if (fgets(buf, sizeof buf, p))
                exe = buf;
            pclose(p);
        }
        while (!exe.empty() && (exe.back() == '\n' || exe.back() == '\r'))
            exe.pop_back();
        return exe.empty() ? std::string("python3") : exe;
    }();
    return run(python + " " + path + " " + args);
}

Bytes readBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string &path, const Bytes &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

Bytes toBytes(const std::string &s)
{
    return Bytes(s.begin(), s.end());
}

Parsed parse(Bytes bytes)
{
    Parsed p;
    p.file = std::make_unique<unzip::MemoryArchiveFile>(std::move(bytes));
    p.error = unzip::readArchiveDirectory(*p.file, p.dir);
    return p;
}

std::string entryName(const unzip::ArchiveDirectory &dir, std::size_t i)
{
    const auto &e = dir.entries.at(i);
    return unzip::decodeEntryName(dir.name(e), e.flags, dir.extra(e), e.versionMadeBy);
}

long findEntry(const unzip::ArchiveDirectory &dir, const std::string &name)
{
    for (std::size_t i = 0; i < dir.entries.size(); ++i)
        if (entryName(dir, i) == name)
            return static_cast<long>(i);
    return -1;
}

Bytes pattern(std::size_t length, unsigned seed)
{
    Bytes b(length);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < length; ++i) {
        x = x * 1103515245u + 12345u;
        // Mostly text-like with repeats, so deflate has something to do.
        b[i] = static_cast<std::uint8_t>((i % 97 < 60) ? 'a' + (i % 26) : (x >> 16));
    }
    return b;
}

} // namespace unziptest
