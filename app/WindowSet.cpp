// The window set: the seven windows of the wizard, made from their .ui descriptions, with
// every control the controller reads or writes connected to its reference and every button
// bound to its action.

#include "app/MainCtrl.h"
#include "app/WizardTableModel.h"
#include "app/WizardWindow.h"

#include "ui_AskMessageWindow.h"
#include "ui_EndWindow.h"
#include "ui_FontListWindow.h"
#include "ui_MessageWindow.h"
#include "ui_ProgressWindow.h"
#include "ui_SearchWindow.h"
#include "ui_StartWindow.h"

#include <QFont>

namespace wizard {

namespace {
template <typename Ui>
WizardWindow* makeWindow(std::vector<std::unique_ptr<QWidget>>& windows, Ui& ui) {
    auto window = std::make_unique<WizardWindow>();
    ui.setupUi(window.get());
    for (QPushButton* button : window->findChildren<QPushButton*>())
        if (button->isDefault()) window->declaredDefault = button;
    // Japanese letter forms for the Han characters, whatever the system's language.
    QFont font = window->font();
    font.setFamilies({font.family(), QStringLiteral("Noto Sans CJK JP")});
    window->setFont(font);
    WizardWindow* made = window.get();
    windows.push_back(std::move(window));
    return made;
}

// Long paths must not widen the window they are shown in.
void keepWidth(QLabel* label) { label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred); }
}  // namespace

void MainCtrl::loadWindows() {
    if (!m_windows.empty()) return;

    Ui::StartWindow start;
    r_startWindow = makeWindow(m_windows, start);
    r_updateList = start.r_updateList;
    connect(start.nextButton, &QPushButton::clicked, this, &MainCtrl::startWindowNextButton);
    connect(start.cancelButton, &QPushButton::clicked, this, &MainCtrl::startWindowCancelButton);

    Ui::SearchWindow search;
    r_searchWindow = makeWindow(m_windows, search);
    r_waitMessage = search.r_waitMessage;
    keepWidth(r_waitMessage);
    connect(search.cancelButton, &QPushButton::clicked, this, &MainCtrl::searchWindowCancelButton);

    Ui::FontListWindow fontList;
    r_fontListWindow = makeWindow(m_windows, fontList);
    r_searchFontList = fontList.r_searchFontList;
    r_trustNote = fontList.r_trustNote;
    r_trustNote->hide();
    connect(fontList.enterButton, &QPushButton::clicked, this, &MainCtrl::fontListWindowEnterButton);
    connect(fontList.cancelButton, &QPushButton::clicked, this, &MainCtrl::fontListWindowCancelButton);

    Ui::ProgressWindow progress;
    r_progressWindow = makeWindow(m_windows, progress);
    r_progressMessage1 = progress.r_progressMessage1;
    r_progressBar1 = progress.r_progressBar1;
    r_percent1 = progress.r_percent1;
    r_progressMessage2 = progress.r_progressMessage2;
    r_progressBar2 = progress.r_progressBar2;
    r_percent2 = progress.r_percent2;
    keepWidth(r_progressMessage1);
    keepWidth(r_progressMessage2);
    connect(progress.cancelButton, &QPushButton::clicked, this, &MainCtrl::progressWindowCancelButton);

    Ui::EndWindow end;
    r_endWindow = makeWindow(m_windows, end);
    r_endMessage = end.r_endMessage;
    r_endNote = end.r_endNote;
    connect(end.enterButton, &QPushButton::clicked, this, &MainCtrl::endWindowEnterButton);
    connect(end.cancelButton, &QPushButton::clicked, this, &MainCtrl::endWindowCancelButton);

    Ui::AskMessageWindow ask;
    r_AskMessageWindow = makeWindow(m_windows, ask);
    r_AskMessageText = ask.r_AskMessageText;
    r_AskOKButton = ask.r_AskOKButton;
    r_AskCancelButton = ask.r_AskCancelButton;
    connect(r_AskOKButton, &QPushButton::clicked, this, &MainCtrl::askMessageOK);
    connect(r_AskCancelButton, &QPushButton::clicked, this, &MainCtrl::askMessageCancel);

    Ui::MessageWindow message;
    r_MessageWindow = makeWindow(m_windows, message);
    r_MessageText = message.r_MessageText;
    r_OKButton = message.r_OKButton;
    connect(r_OKButton, &QPushButton::clicked, this, &MainCtrl::messageOK);

    // Each window starts with the focus on its default button, which Enter presses; the search
    // and progress windows have none, so that Enter never stops a running search or revision.
    for (QPushButton* button : {start.nextButton, fontList.enterButton, end.enterButton, r_AskCancelButton, r_OKButton})
        button->setFocus();
    // Escape and the title bar's close button do what each window's Cancel does (with its
    // confirmation, which may keep the window); the confirmation answers no, the message OK.
    const std::pair<QWidget*, void (MainCtrl::*)()> rejects[] = {
        {r_startWindow, &MainCtrl::startWindowCancelButton},
        {r_searchWindow, &MainCtrl::searchWindowCancelButton},
        {r_fontListWindow, &MainCtrl::fontListWindowCancelButton},
        {r_progressWindow, &MainCtrl::progressWindowCancelButton},
        {r_endWindow, &MainCtrl::endWindowCancelButton},
        {r_AskMessageWindow, &MainCtrl::askMessageCancel},
        {r_MessageWindow, &MainCtrl::messageOK},
    };
    for (const auto& [window, cancel] : rejects)
        static_cast<WizardWindow*>(window)->onReject = [this, cancel = cancel] {
            if (!m_ended) (this->*cancel)();
        };

    // The two tables; the font list is counted only when it is reloaded after the search.
    m_updateListModel = std::make_unique<WizardTableModel>(*this, *r_updateList, QStringLiteral("upFontList"));
    r_updateList->setModel(m_updateListModel.get());
    m_searchFontListModel =
        std::make_unique<WizardTableModel>(*this, *r_searchFontList, QStringLiteral("searchFontList"));
    r_searchFontList->setModel(m_searchFontListModel.get());
}

}  // namespace wizard
