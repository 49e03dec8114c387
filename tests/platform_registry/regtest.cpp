#include "regtest.h"

#include "testenv.h"

#include <QProcess>
#include <QStringList>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace regtest {

void FreshRoot::SetUp()
{
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char &c : name)
        if (c == '/')
            c = '_';
    m_savedRoot = std::getenv("BRX_ROOT") ? std::getenv("BRX_ROOT") : "";
    const char *version = std::getenv("BRX_WINVER");
    m_hadVersion = version != nullptr;
    m_savedVersion = version ? version : "";
    m_root = brxtest::makeScratchDir(name) + "/root";
    setenv("BRX_ROOT", m_root.c_str(), 1);
    unsetenv("BRX_WINVER");
}

void FreshRoot::TearDown()
{
    setenv("BRX_ROOT", m_savedRoot.c_str(), 1);
    if (m_hadVersion)
        setenv("BRX_WINVER", m_savedVersion.c_str(), 1);
    else
        unsetenv("BRX_WINVER");
}

std::string toolPath()
{
    return BRXREG_PATH;
}

namespace {

QStringList toList(const std::vector<std::string> &args)
{
    QStringList list;
    for (const std::string &a : args)
        list << QString::fromStdString(a);
    return list;
}

ToolResult finish(QProcess &process)
{
    ToolResult result;
    if (!process.waitForFinished(120000))
        return result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    return result;
}

} // namespace

ToolResult runTool(const std::vector<std::string> &args, const std::string &input)
{
    QProcess process;
    process.start(QString::fromStdString(toolPath()), toList(args));
    if (!process.waitForStarted(30000))
        return {};
    if (!input.empty())
        process.write(input.data(), static_cast<qint64>(input.size()));
    process.closeWriteChannel();
    return finish(process);
}

std::vector<ToolResult> runToolsTogether(const std::vector<std::vector<std::string>> &argLists)
{
    std::vector<std::unique_ptr<QProcess>> processes;
    for (const auto &args : argLists) {
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->start(QString::fromStdString(toolPath()), toList(args));
    }
    std::vector<ToolResult> results;
    for (auto &process : processes)
        results.push_back(process->waitForStarted(30000) ? finish(*process) : ToolResult{});
    return results;
}

std::string readString(plat::HKEY root, const char *subKey, const char *name, bool *ok)
{
    if (ok)
        *ok = false;
    plat::HKEY key = nullptr;
    if (plat::regOpenKeyEx(root, subKey, 0, plat::KEY_READ, &key) != plat::ERROR_SUCCESS)
        return {};
    plat::DWORD type = 0;
    std::vector<plat::BYTE> data;
    plat::LONG rc = plat::regReadValue(key, name, type, data);
    plat::regCloseKey(key);
    if (rc != plat::ERROR_SUCCESS || type != plat::REG_SZ || data.empty())
        return {};
    if (ok)
        *ok = true;
    return std::string(data.begin(), data.end() - 1);
}

} // namespace regtest
