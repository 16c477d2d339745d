// The shell's network and local-socket code needs a Qt application object and its event loop.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv)
{
    // Loopback test servers must be reached directly, whatever proxy the environment names.
    for (const char* variable :
         {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"})
        qunsetenv(variable);
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
