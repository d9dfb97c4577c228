#include "WizardTestSupport.h"

#include "app/Language.h"
#include "support/FontBytes.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

namespace apptest {

namespace {
const std::string kStdNW9FullName = "VelmoraKakuGothicStdN-W9";
constexpr std::uint32_t kStdNW9Revision = 0x00080000;
}  // namespace

namespace {
QtMessageHandler g_previousHandler = nullptr;
void dropPlatformNotes(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message.startsWith(QLatin1String("This plugin does not support"))) return;
    if (g_previousHandler) g_previousHandler(type, context, message);
}
}  // namespace

namespace {
const char* g_locale = "ja_JP";
}  // namespace

void useLanguage(const char* locale) { g_locale = locale; }

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool put(const QString& path, const QByteArray& bytes, unsigned mode) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) return false;
    f.close();
    return mode == 0 || ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

void quietPlatformWarnings() {
    if (!g_previousHandler) g_previousHandler = qInstallMessageHandler(dropPlatformNotes);
}

void pressKey(QWidget* window, Qt::Key key) {
    QWidget* focus = window->focusWidget();
    QTest::keyClick(focus ? focus : window, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
}

void cancel(QWidget* window, CancelBy way) {
    switch (way) {
    case CancelBy::Button:
        window->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
        return;
    case CancelBy::TitleBar:
        window->close();
        return;
    case CancelBy::EscapeInList:
        window->findChild<QTableView*>()->setFocus();
        break;
    case CancelBy::Escape:
        break;
    }
    pressKey(window, Qt::Key_Escape);
}

void writeStdNW9Patch(const testsupport::TestPlatform& tp) {
    testsupport::PatchLayout layout;
    layout.fontName = kStdNW9FullName;
    layout.fontVersion = kStdNW9Revision;
    tp.writeFile(kHost + QLatin1Char('/') + kStdNW9 + QStringLiteral(".pa"), testsupport::buildPatch(layout));
}

QString stdNW9Path(const QString& folder) { return folder + QLatin1Char('/') + kStdNW9 + QStringLiteral(".otf"); }

void writeStdNW9Font(const testsupport::TestPlatform& tp, const QString& folder) {
    using namespace testsupport;
    tp.writeFile(stdNW9Path(folder), buildSfnt({{"CFF ", Bytes(8, 0)},
                                                {"head", headTable(kStdNW9Revision)},
                                                {"name", nameTable({{1, 0, 0, 4, bytesOf(kStdNW9FullName)}})}}));
}

WindowLog::WindowLog(wizard::MainCtrl& ctrl) : m_ctrl(ctrl) {
    for (QWidget* w : {ctrl.r_startWindow, ctrl.r_searchWindow, ctrl.r_fontListWindow, ctrl.r_progressWindow,
                       ctrl.r_endWindow, ctrl.r_AskMessageWindow, ctrl.r_MessageWindow})
        w->installEventFilter(this);
}

void WindowLog::yes() {
    then([this] { m_ctrl.r_AskOKButton->click(); });
}
void WindowLog::no() {
    then([this] { m_ctrl.r_AskCancelButton->click(); });
}
void WindowLog::ok() {
    then([this] { m_ctrl.r_OKButton->click(); });
}
void WindowLog::then(std::function<void()> action) { m_answers.push_back(std::move(action)); }

int WindowLog::timesShown(const QWidget* window) const { return static_cast<int>(shown.count(window->objectName())); }

bool WindowLog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide && watched == m_ctrl.r_progressWindow) {
        percent1AtHide = m_ctrl.r_percent1->text();
        percent2AtHide = m_ctrl.r_percent2->text();
        bar1AtHide = m_ctrl.r_progressBar1->value();
        bar2AtHide = m_ctrl.r_progressBar2->value();
    }
    if (event->type() != QEvent::Show) return false;
    shown << watched->objectName();
    const bool ask = watched == m_ctrl.r_AskMessageWindow;
    if (!ask && watched != m_ctrl.r_MessageWindow) return false;
    (ask ? asked : told) << (ask ? m_ctrl.r_AskMessageText : m_ctrl.r_MessageText)->text();
    const QWidget* owner = static_cast<QWidget*>(watched)->parentWidget();
    over << (owner ? owner->objectName() : QString());

    std::function<void()> answer;
    if (!m_answers.empty()) {
        answer = std::move(m_answers.front());
        m_answers.pop_front();
    } else {
        ++unexpected;
        answer = [this, ask] { (ask ? m_ctrl.r_AskCancelButton : m_ctrl.r_OKButton)->click(); };
    }
    // Answered once the modal run is under way.
    QTimer::singleShot(0, this, std::move(answer));
    return false;
}

Wizard::Wizard(std::int32_t systemVersion, std::vector<platform::RunningProcess> processes, platform::Volumes* volumes,
               fr::FontReviser reviser)
    : ctrlPtr([&] {
          tp.systemInfo.version = systemVersion;
          tp.processes.list = std::move(processes);
          platform::Platform services = tp.services();
          if (volumes) services.volumes = volumes;
          wizard::MainCtrl::Ends ends;
          ends.terminator = [this] { ++terminated; };
          ends.reviser = std::move(reviser);
          return std::make_unique<wizard::MainCtrl>(services, std::move(ends));
      }()),
      ctrl(*ctrlPtr) {
    QLocale::setDefault(QLocale(QString::fromLatin1(g_locale)));
    wizard::installLanguage();
    ctrl.loadWindows();
    log = std::make_unique<WindowLog>(ctrl);
}

Wizard::~Wizard() {
    log.reset();
    ctrlPtr.reset();
}

}  // namespace apptest
