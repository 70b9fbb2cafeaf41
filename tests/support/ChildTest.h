#pragma once
// Runs one test function of the running suite in a child process, for what a process can only
// do once or must not do to the suite itself (a trace read once at start, a bus that is not
// there). The function skips itself unless the variable named in the environment is set.
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

struct ChildOutcome {
    bool bFinished = false;
    int nExitCode = -1;
    QByteArray output; // standard output: the child's test log
    QByteArray errors; // standard error
};

inline ChildOutcome RunTestInChild(const QString& strFunction,
                                   const QProcessEnvironment& extraEnvironment)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(extraEnvironment);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {strFunction});
    ChildOutcome outcome;
    outcome.bFinished = child.waitForFinished(60000);
    outcome.nExitCode = child.exitCode();
    outcome.output = child.readAllStandardOutput();
    outcome.errors = child.readAllStandardError();
    return outcome;
}
