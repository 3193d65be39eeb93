#pragma once

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

// Runs a Qt Test class on the offscreen platform with a throw-away settings folder and runtime folder,
// so that no test ever reads or writes the settings of the person running it, nor meets a Horaline of theirs. The
// GUI-less form runs the relay alone, with no GUI at all, as a service does.
#define HORALINE_TEST_MAIN_WITH(ApplicationClass, TestClass)                                                           \
    int main(int argc, char* argv[])                                                                                   \
    {                                                                                                                  \
        QTemporaryDir config;                                                                                          \
        QTemporaryDir runtime;                                                                                         \
        if (!config.isValid() || !runtime.isValid())                                                                   \
            return 2;                                                                                                  \
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());                                                       \
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());                                                      \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                                            \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                                                   \
        ApplicationClass application(argc, argv);                                                                      \
        QCoreApplication::setApplicationName(QStringLiteral("Horaline"));                                              \
        QCoreApplication::setOrganizationName(QStringLiteral("Remote Tickview System"));                               \
        TestClass test;                                                                                                \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }

#define HORALINE_TEST_MAIN(TestClass) HORALINE_TEST_MAIN_WITH(QApplication, TestClass)
#define HORALINE_GUILESS_TEST_MAIN(TestClass) HORALINE_TEST_MAIN_WITH(QCoreApplication, TestClass)
