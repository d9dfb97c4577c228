#pragma once
// A wizard on the scratch platform for the window tests: the controller with its windows,
// the application's end recorded instead of performed, and a log of the windows shown with
// the answers the test gives to the confirmation and message windows.

#include "app/MainCtrl.h"
#include "support/FakePlatform.h"

#include <QMetaType>
#include <QObject>
#include <QStringList>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace apptest {

// Where the program lies in the scratch view; its patches are in "host" beside it.
inline const QString kHost = QStringLiteral("/Applications/Reviser/host");
inline const QString kStdNW9 = QStringLiteral(u"Velmora角ゴ StdN W9");

// A patch for the StdN W9 font in the host folder.
void writeStdNW9Patch(const testsupport::TestPlatform& tp);
// An installed StdN W9 font, of the revision the patch is made for, in `folder`.
void writeStdNW9Font(const testsupport::TestPlatform& tp, const QString& folder);
QString stdNW9Path(const QString& folder);

// Watches the seven windows. Each time the confirmation or the message window shows, its
// text is logged and the next queued answer is given; with none queued the window is
// answered "no" / OK and `unexpected` counts it.
class WindowLog : public QObject {
public:
    explicit WindowLog(wizard::MainCtrl& ctrl);

    void yes();
    void no();
    void ok();
    void then(std::function<void()> action);  // any other action as the answer

    QStringList shown;   // object names of the windows shown, in order
    QStringList asked;   // texts of the confirmation window, each time it showed
    QStringList told;    // texts of the message window, each time it showed
    QStringList over;    // for each of those, the window it showed over ("" for none), in order
    int unexpected = 0;  // modal windows shown with no answer queued
    // What the progress window showed when it was hidden.
    QString percent1AtHide, percent2AtHide;
    int bar1AtHide = -1, bar2AtHide = -1;

    int timesShown(const QWidget* window) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    wizard::MainCtrl& m_ctrl;
    std::deque<std::function<void()>> m_answers;
};

// The ways the user leaves a window as its Cancel button does: the button, the title bar's
// close button, Escape where the focus is, and Escape with the focus in the window's list.
enum class CancelBy { Button, TitleBar, Escape, EscapeInList };
void cancel(QWidget* window, CancelBy way);

// Presses `key` where the focus is in `window`: on the widget that has it, or on the window
// itself when nothing in it has. Enter is the keypad's.
void pressKey(QWidget* window, Qt::Key key);

// Drops the offscreen platform's notes on what it can't do (raise, size hints); call from
// initTestCase, after the test framework has set up its own message handling.
void quietPlatformWarnings();

// The desktop's language for the wizards made from here on, as its locale says it
// ("ja_JP", "en_US", "C"): the translator the program installs for it. Japanese unless a test
// says otherwise, so that the product's texts are compared byte for byte.
void useLanguage(const char* locale);

// A file's bytes, empty where it can't be read; a file written whole, its folders made, with
// this mode where one is given: false where it can't be.
QByteArray contents(const QString& path);
bool put(const QString& path, const QByteArray& bytes, unsigned mode = 0);

// The platform doubles, then the controller made on them with its windows loaded, in the
// language useLanguage chose. `volumes` stands in for the doubles' own when given (it is used
// only once a search starts), and `reviser` for the real engine's revision of each font.
struct Wizard {
    explicit Wizard(std::int32_t systemVersion = 0x1070, std::vector<platform::RunningProcess> processes = {},
                    platform::Volumes* volumes = nullptr, fr::FontReviser reviser = {});
    ~Wizard();

    testsupport::TestPlatform tp;
    std::atomic<int> terminated = 0;  // times the application was asked to end
    std::unique_ptr<wizard::MainCtrl> ctrlPtr;
    wizard::MainCtrl& ctrl;
    std::unique_ptr<WindowLog> log;
};

}  // namespace apptest

Q_DECLARE_METATYPE(apptest::CancelBy)
