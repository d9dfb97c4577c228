// The wizard on sample data: the same program, handed a platform rooted at a scratch tree
// laid out like a desktop disk (scripts/make_sample.sh builds one). Every path the wizard
// sees lies inside that tree; a restart is only logged.

#include "app/MainCtrl.h"
#include "platform/LinuxPlatform.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() != 2 || !QDir(args.at(1)).exists()) {
        QTextStream(stderr) << "usage: font-reviser-sample SAMPLE_ROOT (see scripts/make_sample.sh)\n";
        return 64;
    }
    platform::LinuxPlatformOptions options;
    options.root = QDir(args.at(1)).absolutePath();
    options.applicationPath = QStringLiteral("/Applications/FontReviser/font-reviser");
    options.temporaryFolder = QStringLiteral("/tmp");
    options.logRestartOnly = true;
    platform::LinuxPlatform samplePlatform(options);
    platform::ScopedPlatform services(samplePlatform.services());

    wizard::MainCtrl ctrl;
    ctrl.loadWindows();
    ctrl.awakeFromNib();
    return QApplication::exec();
}
