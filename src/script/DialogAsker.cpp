#include "script/DialogAsker.h"

#include "script/HandsOff.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

AskDialog::AskDialog(QWidget& window, const QString& question, const QString& where,
                     std::function<void(Asker::Answer)> answered)
    : QWidget(&window, Qt::Dialog), m_answered(std::move(answered))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(window.windowTitle());
    auto* text = new QLabel(question, this);
    text->setTextFormat(Qt::PlainText);
    // A short question stays on one line; a long one wraps at a width still easy to read.
    const int oneLine = text->sizeHint().width();
    text->setWordWrap(true);
    text->setMinimumWidth(std::min(oneLine, 50 * text->fontMetrics().averageCharWidth()));
    auto* place = new QLabel(where, this);
    place->setTextFormat(Qt::PlainText);
    yes = new QPushButton(QStringLiteral("&Yes"), this);
    no = new QPushButton(QStringLiteral("&No"), this);
    // No button takes the focus or is the default: Space and Return press nothing.
    for (QPushButton* button : {yes, no}) {
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(yes, &QPushButton::clicked, this, [this] { Answer(Asker::Answer::Yes); });
    connect(no, &QPushButton::clicked, this, [this] { Answer(Asker::Answer::No); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(yes);
    buttons->addWidget(no);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(place);
    layout->addLayout(buttons);
    setFocusPolicy(Qt::StrongFocus);
}

void AskDialog::Withdraw()
{
    m_answered = nullptr;
    close();
}

void AskDialog::Answer(Asker::Answer answer)
{
    if (!m_answered)
        return;
    const auto answered = std::exchange(m_answered, nullptr);
    close();
    answered(answer);
}

void AskDialog::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers chord = event->modifiers() & ~(Qt::ShiftModifier | Qt::AltModifier);
    if (event->key() == Qt::Key_Escape)
        Answer(Asker::Answer::No);
    else if (chord == Qt::NoModifier && event->key() == Qt::Key_Y)
        Answer(Asker::Answer::Yes);
    else if (chord == Qt::NoModifier && event->key() == Qt::Key_N)
        Answer(Asker::Answer::No);
    // Return, Enter, Space and every other key answer nothing.
    event->accept();
}

void AskDialog::closeEvent(QCloseEvent* event)
{
    // The close button is the person's No; a close by anything else (the
    // session ending) is no answer.
    if (m_answered)
        Answer(event->spontaneous() ? Asker::Answer::No : Asker::Answer::None);
    event->accept();
}

DialogAsker::DialogAsker(QWidget& window, HandsOff& hands, const QString& scriptName)
    : m_window(window), m_hands(hands), m_scriptName(scriptName)
{
}

DialogAsker::~DialogAsker()
{
    Close();
}

void DialogAsker::Ask(const QString& question, int line, std::function<void(Answer)> answered)
{
    Close();
    m_dialog = new AskDialog(m_window, question, QStringLiteral("%1:%2").arg(m_scriptName).arg(line),
                             std::move(answered));
    m_hands.Allow(m_dialog);
    // Unlike a message box, this window is placed by nobody when no window manager runs, and
    // would sit at the screen's corner: it takes its layout's size, centred over the window.
    m_dialog->adjustSize();
    m_dialog->move(m_window.geometry().center() - m_dialog->rect().center());
    m_dialog->show();
    m_dialog->activateWindow();
    m_dialog->setFocus();
}

void DialogAsker::Close()
{
    if (m_dialog)
        m_dialog->Withdraw();
}
