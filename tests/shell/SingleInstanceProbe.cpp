// A tiny program that claims the single instance in the folder given as its argument, so
// tests can start it more than once. It prints its role; a primary instance then waits for an
// activation request, prints "activated" and exits 0 (or exits 4 after 20 seconds without one).
// A second start exits 3, one that cannot reach the running instance 5, a failed claim 2.
// With "--hold" before the folder it only takes the instance lock, as a hung instance would,
// prints "holding" and waits 20 seconds.
#include "shell/SingleInstance.hpp"

#include <QCoreApplication>
#include <QLockFile>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <string_view>

using carvento::shell::SingleInstance;

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const bool hold = argc == 3 && std::string_view(argv[1]) == "--hold";
    if (argc != 2 && !hold) {
        std::fprintf(stderr, "usage: single_instance_probe [--hold] FOLDER\n");
        return 1;
    }
    SingleInstance instance(QString::fromLocal8Bit(argv[argc - 1]));
    const auto say = [](const char* text) {
        std::printf("%s\n", text);
        std::fflush(stdout);
    };
    if (hold) {
        QLockFile lock(instance.lockFilePath());
        if (!lock.tryLock(0))
            return 2;
        say("holding");
        QThread::sleep(20);
        return 0;
    }
    switch (instance.claim()) {
    case SingleInstance::Claim::Failed:
        say("failed");
        return 2;
    case SingleInstance::Claim::Secondary:
        say("secondary");
        return 3;
    case SingleInstance::Claim::Unreachable:
        say("unreachable");
        return 5;
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
