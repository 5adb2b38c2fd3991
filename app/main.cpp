// Velta Control Center: shows the main window and ends when it closes. The program writes only
// the files the user asks for; every run starts from the same defaults.
#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QSettings>
#include <QStatusBar>
#include <QStringList>
#include <QStyleFactory>
#include <cstdio>
#include <memory>

#include "device/device_choice.h"
#include "device/hid_transport.h"
#include "device/platform_transport.h"
#include "device/simulated_transmitter.h"
#include "ui/main_window.h"

namespace {

// Ends the dialog right after it has painted once; used to time start-up to a shown window.
class QuitAfterFirstPaint : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!done_ && event->type() == QEvent::Paint) {
            done_ = true;
            QMetaObject::invokeMethod(watched, "close", Qt::QueuedConnection);
        }
        return false;
    }

  private:
    bool done_ = false;
};

// Qt's own dialogs keep a history in a settings file of the user's (the file dialog writes its
// last folder, sidebar and column widths when it closes). The program keeps no settings: every
// settings store Qt opens points at a place where no file can be made, so those writes fail
// quietly and each run starts from the same defaults.
void KeepNoSettings() {
#ifdef Q_OS_WIN
    const QString nowhere = QStringLiteral("NUL");  // a device: nothing can be made under it
#else
    const QString nowhere = QStringLiteral("/dev/null");
#endif
    QSettings::setDefaultFormat(QSettings::IniFormat);
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        for (const auto scope : {QSettings::UserScope, QSettings::SystemScope})
            QSettings::setPath(format, scope, nowhere);
    }
}

void NameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("velta-control-center"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELTA_VERSION));
}

}  // namespace

int main(int argc, char* argv[]) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Control panel for the Velta LED display and its USB transmitter."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Use a simulated transmitter instead of the USB device."));
    parser.addOption(simulate);
    const QCommandLineOption device(
        QStringLiteral("device"),
        QStringLiteral("The transmitter to use when more than one is plugged in: its path, or "
                       "else its serial number, as velta list prints them (default: the first "
                       "found)."),
        QStringLiteral("PATH|SERIAL"));
    parser.addOption(device);
    parser.addPositionalArgument(QStringLiteral("design"),
                                 QStringLiteral("A design file (.velta) to open at start-up."),
                                 QStringLiteral("[DESIGN]"));
    // For start-up timing only: ends the program as soon as the window has painted once.
    QCommandLineOption quitAfterShow(QStringLiteral("quit-after-show"));
    quitAfterShow.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(quitAfterShow);

    // A first look, before any application object exists, only to tell whether a window is
    // wanted: the options are ASCII whatever the encoding. The arguments themselves are read
    // from the application object below, which has them whole (on Windows from the wide command
    // line; argv is in the ANSI code page there and loses a file name outside it).
    QStringList firstLook;
    for (int i = 0; i < argc; ++i)
        firstLook.append(QString::fromLocal8Bit(argv[i]));
    if (!parser.parse(firstLook) || parser.isSet(help) || parser.isSet(version) ||
        parser.isSet(QStringLiteral("help-all"))) {
        // Help, version and command-line errors need no display: answer them without a window
        // system (process() parses the application's arguments, prints and exits).
        QCoreApplication core(argc, argv);
        NameApplication();
        parser.process(core);
        return 0;
    }

    if (parser.isSet(device) && parser.value(device).isEmpty()) {
        std::fprintf(stderr, "velta-control-center: --device needs a path or serial number\n");
        return 2;
    }
    if (parser.positionalArguments().size() > 1) {
        std::fprintf(stderr, "velta-control-center: one design file at most, got %lld\n",
                     static_cast<long long>(parser.positionalArguments().size()));
        return 2;
    }

    KeepNoSettings();
    QApplication app(argc, argv);
    NameApplication();
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "velta-control-center: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    // The window is laid out in fixed pixels; Fusion draws its controls the same, compact way on
    // every desktop, so every caption fits its place.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    std::unique_ptr<velta::HidTransport> transport;
    if (parser.isSet(simulate))
        transport = std::make_unique<velta::SimulatedTransmitter>();
    else
        transport = velta::MakePlatformTransport();

    {
        // Destroyed before the transport: its destructor ends the link's reader and closes the
        // device, whichever way the window ended.
        velta::MainWindow window(*transport, parser.isSet(simulate));
        if (parser.isSet(device))
            window.SetDeviceChoice(velta::DeviceChoice{parser.value(device).toStdString()});
        QuitAfterFirstPaint quitter;
        if (parser.isSet(quitAfterShow))
            window.installEventFilter(&quitter);
        window.show();
        const QStringList designs = parser.positionalArguments();
        if (!designs.isEmpty() && !window.OpenDesignFile(designs.front()))
            std::fprintf(stderr, "velta-control-center: %s\n",
                         qPrintable(window.statusBar()->currentMessage()));
        // Without the hardware, the preview is where the user sees what was sent.
        if (parser.isSet(simulate))
            window.ShowDisplayPreview();
        QApplication::exec();
    }
    return 0;
}
