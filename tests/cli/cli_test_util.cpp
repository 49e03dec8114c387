#include "cli_test_util.h"

#include "platform/path.h"
#include "testenv.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;

namespace clitest {

Result brx(const std::vector<std::string> &args, const std::string &workDir)
{
    QProcess process;
    QStringList list;
    for (const std::string &a : args)
        list << QString::fromStdString(a);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // A fixed locale, so dates and times have one known form.
    env.insert("LC_ALL", "C");
    env.insert("LANG", "C");
    process.setProcessEnvironment(env);
    if (!workDir.empty())
        process.setWorkingDirectory(QString::fromStdString(workDir));
    process.start(QString::fromStdString(brxtest::binDir() + "/brx"), list);
    Result r;
    if (!process.waitForStarted(10000)) {
        ADD_FAILURE() << "brx did not start";
        return r;
    }
    process.closeWriteChannel();
    r.finished = process.waitForFinished(60000);
    if (!r.finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    r.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = process.readAllStandardOutput().toStdString();
    r.err = process.readAllStandardError().toStdString();
    return r;
}

int sh(const std::string &command, std::string *output)
{
    std::string text;
    int status = -1;
    if (FILE *pipe = popen(("(" + command + ") 2>&1").c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            text.append(buffer, n);
        status = pclose(pipe);
    }
    if (output)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void writeFile(const std::string &path, const std::string &text)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string win(const std::string &host)
{
    return plat::hostToWindowsPath(host).value_or("");
}

std::set<std::string> zipNames(const std::string &archive)
{
    std::string out;
    sh("unzip -Z1 '" + archive + "'", &out);
    std::istringstream in(out);
    std::set<std::string> names;
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            names.insert(line);
    return names;
}

std::vector<std::map<std::string, std::string>> listRows(const std::string &archive,
                                                         const std::vector<std::string> &extra)
{
    std::vector<std::string> args = {"list", "--tab", archive};
    args.insert(args.end(), extra.begin(), extra.end());
    const Result r = brx(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::istringstream in(r.out);
    std::vector<std::string> header;
    std::vector<std::map<std::string, std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> cells;
        std::size_t start = 0;
        for (;;) {
            const std::size_t tab = line.find('\t', start);
            cells.push_back(line.substr(start, tab - start));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        if (header.empty()) {
            header = cells;
            continue;
        }
        std::map<std::string, std::string> row;
        for (std::size_t i = 0; i < header.size() && i < cells.size(); ++i)
            row[header[i]] = cells[i];
        rows.push_back(row);
    }
    return rows;
}

std::string makeTree(const std::string &name)
{
    const std::string root = brxtest::makeScratchDir(name);
    writeFile(root + "/d/a.txt", "alpha");
    writeFile(root + "/d/b.log", "bravo log");
    writeFile(root + "/d/sub/c.txt", "charlie");
    return root;
}

} // namespace clitest
