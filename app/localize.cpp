#include "app/localize.h"

#include "app/controls/windowmessage.h"
#include "app/language.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

namespace {

constexpr const char* kControlId = "folvaneControlId";
constexpr const char* kCommandId = "folvaneCommandId";

QString DialogSection(int dialogId)
{
    return QStringLiteral("DIALOG_IDD_%1").arg(dialogId);
}

void SetWidgetText(QWidget* w, const QString& text)
{
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(text);
    else if (auto* g = qobject_cast<QGroupBox*>(w))
        g->setTitle(text);
    else if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(text);
    else if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        p->setPlainText(text);
    else if (auto* t = qobject_cast<QTextEdit*>(w))
        t->setPlainText(text);
}

} // namespace

void SetControlId(QWidget* widget, int id)
{
    widget->setProperty(kControlId, id);
}

int ControlId(const QWidget* widget)
{
    return widget->property(kControlId).toInt();
}

void SetCommandId(QAction* action, int id)
{
    action->setProperty(kCommandId, id);
}

int CommandId(const QAction* action)
{
    return action->property(kCommandId).toInt();
}

void LocalizeDialogTitle(QWidget* window, int dialogId)
{
    const QString title =
        LocalizedValue(DialogSection(dialogId), QStringLiteral("title"), LangEscapes::LineFeedAndTab);
    if (!title.isEmpty())
        window->setWindowTitle(title);
}

void LocalizeChildren(QWidget* window, int dialogId)
{
    const QString section = DialogSection(dialogId);
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const QVariant id = w->property(kControlId);
        if (!id.isValid())
            continue;
        const QString text = LocalizedValue(section, QString::number(id.toInt()), LangEscapes::LineFeedOnly);
        if (!text.isEmpty())
            SetWidgetText(w, text);
    }
}

void LocalizeMenu(const QList<QAction*>& actions, bool menuBar)
{
    const QString section = QStringLiteral("MENU");
    int position = 0;
    for (QAction* a : actions) {
        ++position;
        if (a->isSeparator())
            continue;
        QString text;
        if (a->menu()) {
            if (menuBar)
                text = LocalizedValue(section, QStringLiteral("item_%1").arg(position), LangEscapes::LineFeedAndTab);
        } else if (const int id = CommandId(a)) {
            text = LocalizedValue(section, QString::number(id), LangEscapes::LineFeedAndTab);
        }
        if (!text.isEmpty())
            a->setText(text);
        if (a->menu())
            LocalizeMenu(a->menu()->actions(), false);
    }
}

void SendReloadLanguage(QWidget* root)
{
    for (QWidget* w : root->findChildren<QWidget*>())
        SendWindowMessage(w, WM_RELOAD_LANGUAGE, 0, 0);
}

LanguageMenu::LanguageMenu(QMenu* menu, QWidget* window, CFSMSettings& settings, std::function<bool()> busy)
    : QObject(window), menu_(menu), window_(window), settings_(settings), busy_(std::move(busy)),
      group_(new QActionGroup(this))
{
    group_->setExclusive(true);
}

void LanguageMenu::Build()
{
    for (QAction* a : group_->actions()) {
        group_->removeAction(a);
        menu_->removeAction(a);
        delete a;
    }
    codes_ = QStringList{QStringLiteral("auto")};
    QStringList names{QStringLiteral("auto")};
    for (const LanguageEntry& e : ListLanguages(GetLanguageFolder())) {
        codes_ << e.code;
        names << e.name;
    }
    checked_ = std::max<qsizetype>(codes_.indexOf(settings_.languageID), 0);
    for (qsizetype i = 0; i < codes_.size(); ++i) {
        QAction* a = menu_->addAction(names[i]);
        a->setCheckable(true);
        a->setChecked(i == checked_);
        SetCommandId(a, kFirstCommand + static_cast<int>(i));
        group_->addAction(a);
        connect(a, &QAction::triggered, this, [this, a] { Choose(CommandId(a)); });
    }
    SetCurrentLanguage(codes_[checked_]);
}

bool LanguageMenu::Choose(int commandId)
{
    const qsizetype index = commandId - kFirstCommand;
    const QList<QAction*> actions = group_->actions();
    if ((busy_ && busy_()) || index < 0 || index >= codes_.size()) {
        // A click that is refused leaves the chosen entry checked.
        actions[checked_]->setChecked(true);
        return false;
    }
    checked_ = index;
    actions[index]->setChecked(true);
    settings_.languageID = codes_[index];
    SetCurrentLanguage(settings_.languageID);
    emit languageChanged();
    SendReloadLanguage(window_);
    return true;
}

QList<QAction*> LanguageMenu::Actions() const
{
    return group_->actions();
}

void LanguageMenu::SetEnabled(bool enabled)
{
    for (QAction* a : group_->actions())
        a->setEnabled(enabled);
}
