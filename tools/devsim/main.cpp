// quillon-devsim: a fleet of simulated devices for trying out and testing
// Quillon without hardware. Run it in a network namespace of its own.
#include <cstdio>
#include <random>

#include <QCoreApplication>

#include "tools/devsim/Fleet.h"
#include "tools/devsim/Settings.h"
#include "tools/devsim/Simulator.h"

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("quillon-devsim");

    const auto commandLine = quillon::devsim::ParseCommandLine(QCoreApplication::arguments());
    switch (commandLine.action) {
    case quillon::devsim::CommandLine::Action::ShowHelp:
        std::fputs(commandLine.text.c_str(), stdout);
        return 0;
    case quillon::devsim::CommandLine::Action::Fail:
        std::fprintf(stderr, "quillon-devsim: %s\nTry 'quillon-devsim --help'.\n", commandLine.text.c_str());
        return 2;
    case quillon::devsim::CommandLine::Action::Run:
        break;
    }

    quillon::devsim::Fleet fleet(commandLine.settings, std::random_device{}());
    return quillon::devsim::RunSimulator(fleet, {commandLine.settings.quiet, commandLine.settings.bindAddress});
}
