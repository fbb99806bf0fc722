// Runs quillon-devsim as a child process of a test.
//
// The program is the one named by the environment variable QUILLON_DEVSIM
// (the test registration sets it). The simulator binds port 62630, so a test
// that starts it must run in a network namespace of its own (NETNS).
//
//     DevsimProcess sim;
//     QVERIFY2(sim.Start({"--count", "3"}), qPrintable(sim.ErrorText()));
//     ... talk to it on loopback ...
//     QVERIFY2(sim.Stop(), qPrintable(sim.ErrorText()));
//
// On a test topology (tests/topology/topology.sh) the simulator runs in a
// device namespace of its own, started through "ip netns exec":
//
//     sim.SetNetworkNamespace(qEnvironmentVariable("QUILLON_TOPO_NS_A"));
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

class DevsimProcess {
public:
    DevsimProcess() = default;
    ~DevsimProcess();  // kills a simulator that is still running
    DevsimProcess(const DevsimProcess&) = delete;
    DevsimProcess& operator=(const DevsimProcess&) = delete;

    // $QUILLON_DEVSIM, or an empty text when it is not set.
    static QString Program();

    // Later starts run the simulator in the named network namespace (ip
    // netns exec, which execs it: the process is still the simulator's own);
    // an empty name runs it in the test's namespace.
    void SetNetworkNamespace(const QString& name) { namespace_ = name; }

    // Starts the simulator with `arguments` and waits until it reports that
    // it listens. False, with ErrorText() saying why, when it could not be
    // started, ended early or stayed silent for `timeoutMs`.
    bool Start(const QStringList& arguments = {}, int timeoutMs = 5000);

    // Sends SIGTERM and waits. True when the simulator then ended by itself
    // with exit status 0.
    bool Stop(int timeoutMs = 5000);

    // Waits until a line of standard output contains `text`; also finds
    // lines that arrived earlier.
    bool WaitForLine(const QString& text, int timeoutMs = 3000);

    // Every complete line of standard output so far, the listening line first.
    QStringList Lines();

    // What went wrong, followed by what the simulator wrote to stderr.
    QString ErrorText();

    QProcess& Process() { return process_; }

private:
    void ReadOutput();

    QProcess process_;
    QByteArray pending_;  // output after the last line feed
    QStringList lines_;
    QString error_;
    QString stderr_;
    QString namespace_;
};
