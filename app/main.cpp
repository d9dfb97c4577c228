// The program's entry: the Linux platform services, the controller with its windows, and the
// main loop. No command line.

#include "app/MainCtrl.h"
#include "platform/LinuxPlatform.h"
#include "platform/Platform.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    platform::LinuxPlatform linuxPlatform;
    platform::ScopedPlatform services(linuxPlatform.services());

    wizard::MainCtrl ctrl;
    ctrl.loadWindows();
    ctrl.awakeFromNib();
    return QApplication::exec();
}
