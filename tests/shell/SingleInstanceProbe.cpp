// A tiny program that claims the single instance in the folder given as its argument, so
// tests can start it more than once. It prints its role; a primary instance then waits for an
// activation request, prints "activated" and exits 0 (or exits 4 after 20 seconds without one).
// A second start exits 3, a failed claim 2.
#include "shell/SingleInstance.hpp"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

using carvento::shell::SingleInstance;

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: single_instance_probe FOLDER\n");
        return 1;
    }
    SingleInstance instance(QString::fromLocal8Bit(argv[1]));
    const auto say = [](const char* text) {
        std::printf("%s\n", text);
        std::fflush(stdout);
    };
    switch (instance.claim()) {
    case SingleInstance::Claim::Failed:
        say("failed");
        return 2;
    case SingleInstance::Claim::Secondary:
        say("secondary");
        return 3;
    case SingleInstance::Claim::Primary:
        break;
    }
    QObject::connect(&instance, &SingleInstance::activationRequested, &application, [&] {
        say("activated");
        application.exit(0);
    });
    QTimer::singleShot(20000, &application, [&] { application.exit(4); });
    say("primary");
    return application.exec();
}
