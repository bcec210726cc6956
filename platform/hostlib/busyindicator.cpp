#include "platform/hostlib/busyindicator.h"

#include "platform/hostlib/hooks.h"
#include "platform/protocol/netconnection.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cmath>


namespace host {

namespace {

constexpr int kSpinnerDots = 12;
constexpr int kFrameMs = 80;

// A translucent cover over a window: blocks the mouse on it and draws a turning spinner and a text.
class BusyOverlay : public QWidget
{
public:
    BusyOverlay(QWidget *form, const QString &text)
        : QWidget(form), m_form(form), m_text(text)
    {
        setObjectName(QStringLiteral("ShowAvi"));
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_TransparentForMouseEvents, false);
        setFocusPolicy(Qt::NoFocus);
        if (form) {
            setGeometry(form->rect());
            form->installEventFilter(this);
        } else {
            setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
            resize(280, 120);
            if (const QScreen *screen = QGuiApplication::primaryScreen())
                move(screen->availableGeometry().center() - rect().center());
        }
        m_timer.setInterval(kFrameMs);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            ++m_step;
            update();
        });
        m_timer.start();
    }

    void setText(const QString &text)
    {
        m_text = text;
        update();
    }
    const QString &text() const { return m_text; }
    int frames() const { return m_frames; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_form && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
            setGeometry(m_form->rect());
            raise();
        }
        return QWidget::eventFilter(watched, event);
    }

    void paintEvent(QPaintEvent *) override
    {
        ++m_frames;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(rect(), QColor(255, 255, 255, m_form ? 140 : 235));

        const QRect box(rect().center() - QPoint(130, 45), QSize(260, 90));
        p.setPen(QColor(120, 120, 120));
        p.setBrush(QColor(250, 250, 250, 240));
        p.drawRoundedRect(box, 8, 8);

        const QPointF centre(box.left() + 40, box.center().y());
        for (int i = 0; i < kSpinnerDots; ++i) {
            const double angle = 2 * M_PI * i / kSpinnerDots;
            // The dot at the current step is darkest; the others fade behind it.
            const int age = (m_step - i + kSpinnerDots * 1000) % kSpinnerDots;
            const int shade = 40 + age * 170 / kSpinnerDots;
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(shade, shade, shade));
            p.drawEllipse(centre + QPointF(std::cos(angle) * 16, std::sin(angle) * 16), 3.0, 3.0);
        }
        p.setPen(Qt::black);
        p.drawText(QRect(box.left() + 70, box.top(), box.width() - 80, box.height()),
                   Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap, m_text);
    }

private:
    QPointer<QWidget> m_form; // Not owned.
    QString m_text;
    QTimer m_timer;
    int m_step = 0;
    int m_frames = 0;
};

struct BusyState
{
    bool active = false;
    int kind = -1;
    std::string text;
    QPointer<BusyOverlay> overlay; // Owned (a child of its form, or top-level without one).
    bool topLevel = false;
};

BusyState &state()
{
    static BusyState busy;
    return busy;
}

QPointer<QWidget> &mainWindow()
{
    static QPointer<QWidget> window;
    return window;
}

void destroyOverlay(BusyState &busy)
{
    if (busy.overlay) {
        busy.overlay->hide();
        delete busy.overlay.data();
    }
    busy.overlay = nullptr;
}

} // namespace

void ActiveShowAvi(QWidget *form, int kind, const std::string &text)
{
    BusyState &busy = state();
    const std::string shown = !text.empty() ? text : (kind == 0 ? "Conectando..." : "Aguarde...");
    if (!form)
        form = mainWindow() ? mainWindow().data() : QApplication::activeWindow();

    const bool haveGui = qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
    if (haveGui) {
        const bool sameForm = busy.overlay && busy.overlay->parentWidget() == form && (form || busy.topLevel);
        if (sameForm) {
            busy.overlay->setText(QString::fromStdString(shown));
        } else {
            destroyOverlay(busy);
            busy.overlay = new BusyOverlay(form, QString::fromStdString(shown));
            busy.topLevel = form == nullptr;
        }
        busy.overlay->show();
        busy.overlay->raise();
        busy.overlay->repaint();
    }
    busy.active = true;
    busy.kind = kind;
    busy.text = shown;
    if (const auto &hook = GetHooks().onBusy)
        hook(true, kind, shown);
}

ShowAviGuard::~ShowAviGuard()
{
    DeactiveShowAvi();
    if (m_repaint)
        m_repaint->repaint();
}

void ShowAviGuard::RepaintAfter(QWidget *window)
{
    m_repaint = window;
}

void DeactiveShowAvi()
{
    BusyState &busy = state();
    if (!busy.active)
        return;
    const int kind = busy.kind;
    const std::string text = busy.text;
    destroyOverlay(busy);
    busy.active = false;
    busy.kind = -1;
    busy.text.clear();
    if (const auto &hook = GetHooks().onBusy)
        hook(false, kind, text);
}

bool ShowAviActive()
{
    return state().active;
}

int ShowAviKind()
{
    return state().kind;
}

std::string ShowAviText()
{
    return state().text;
}

QWidget *ShowAviWidget()
{
    return state().overlay.data();
}

int ShowAviFrame()
{
    return state().overlay ? state().overlay->frames() : 0;
}

namespace {
int g_waitDepth = 0;
}

void ProcessPaintEvents()
{
    if (!QCoreApplication::instance())
        return;
    ++g_waitDepth;
    struct Leave { ~Leave() { --g_waitDepth; } } leave;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

int WaitDepth()
{
    return g_waitDepth;
}

void AttachBusyPainting(tk::TNetConnection &connection)
{
    connection.OnWait = [] { ProcessPaintEvents(); };
}

void SetMainWindow(QWidget *window)
{
    mainWindow() = window;
}

QWidget *MainWindow()
{
    return mainWindow().data();
}

// Takes every user input event while a BusyProgress lives; Esc cancels.
class BusyProgress::Filter : public QObject
{
public:
    explicit Filter(BusyProgress &owner) : m_owner(owner) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
                m_owner.Cancel();
            return true;
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu: return true;
        default: return QObject::eventFilter(watched, event);
        }
    }

private:
    BusyProgress &m_owner;
};

BusyProgress::BusyProgress(QWidget *form, int kind, std::string text)
    : m_form(form), m_kind(kind), m_text(std::move(text))
{
    if (QCoreApplication *app = QCoreApplication::instance()) {
        m_filter = new Filter(*this);
        app->installEventFilter(m_filter);
    }
    ActiveShowAvi(m_form, m_kind, m_text);
}

BusyProgress::~BusyProgress()
{
    DeactiveShowAvi();
    if (m_filter) {
        QCoreApplication::instance()->removeEventFilter(m_filter);
        delete m_filter;
    }
}

bool BusyProgress::Step(int done, int total)
{
    ActiveShowAvi(m_form, m_kind, m_text + " (" + std::to_string(done) + " de " + std::to_string(total) + ")");
    if (QCoreApplication::instance()) {
        ++g_waitDepth;
        struct Leave { ~Leave() { --g_waitDepth; } } leave;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    return !m_cancelled;
}

} // namespace host
