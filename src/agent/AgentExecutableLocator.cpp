#include "agent/AgentExecutableLocator.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>

namespace quillon::AgentExecutableLocator {

std::optional<QString> resolve(const SupportedAgentEngine& engine, const QString& home,
    const ExistsFunction& exists, const WhichFunction& which)
{
    if (engine.kind() == SupportedAgentEngine::Kind::customCLI) {
        if (exists(engine.path()))
            return engine.path();
        return std::nullopt;
    }
    const QStringList candidates = engine.candidatePaths(home);
    for (const QString& candidate : candidates) {
        if (exists(candidate))
            return candidate;
    }
    return which(engine.lookupName());
}

std::optional<QString> resolve(const SupportedAgentEngine& engine)
{
    // A candidate counts when what it names is there: a dangling link is no engine.
    auto exists = [](const QString& path) { return !path.isEmpty() && QFileInfo::exists(path); };
    return resolve(
        engine, QDir::homePath(), exists, [](const QString& name) { return which(name); });
}

bool isExecutableFile(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

std::optional<QString> which(const QString& name, int timeoutMs)
{
    if (name.isEmpty())
        return std::nullopt;
    QProcess process;
    process.setProgram(QStringLiteral("/usr/bin/which"));
    process.setArguments({ name });
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start();
    if (!process.waitForStarted(timeoutMs))
        return std::nullopt;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString output = decoder(process.readAllStandardOutput());
    if (decoder.hasError())
        return std::nullopt;
    const QString path = output.trimmed();
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

} // namespace quillon::AgentExecutableLocator
