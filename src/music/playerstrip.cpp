#include "playerstrip.h"

#include "look/appearance.h"
#include "look/screenreader.h"

#include <QAction>
#include <QBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

#include <algorithm>
#include <climits>

namespace {

constexpr int volumeStep = 10;
constexpr qint64 seekStep = 10000;

// The strip is narrow: a long title is cut with an ellipsis instead of pushing the time away.
class ElidingLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRect room = contentsRect();
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(room, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideRight, room.width()));
    }
};

QToolButton* makeButton(QWidget* parent, const char* name, const QString& label)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(label);
    button->setToolTip(label);
    button->setFixedSize(20, 20);
    button->setIconSize(QSize(14, 14));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

QSlider* makeSlider(QWidget* parent, const char* name, const QString& label)
{
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(QString::fromLatin1(name));
    slider->setAccessibleName(label);
    slider->setToolTip(label);
    return slider;
}

} // namespace

PlayerStrip::PlayerStrip(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("WindowsMediaPlayer1"));
    setAutoFillBackground(true);
    buildControls();
    buildMenu();
    // The strip takes part in its window's tab order as one block, entered at its first button.
    setFocusPolicy(Qt::TabFocus);
    setFocusProxy(m_playButton);
    refresh();
}

void PlayerStrip::buildControls()
{
    m_titleLabel = new ElidingLabel(this);
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    m_titleLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_timeLabel = new QLabel(this);
    m_timeLabel->setObjectName(QStringLiteral("timeLabel"));
    m_timeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    m_playButton = makeButton(this, "playButton", QStringLiteral("Play"));
    m_stopButton = makeButton(this, "stopButton", QStringLiteral("Stop"));
    m_stopButton->setIcon(corvalo::pictureIcon(QStringLiteral("player-stop.png")));
    m_seekSlider = makeSlider(this, "seekSlider", QStringLiteral("Position"));
    m_seekSlider->setSingleStep(1000);
    m_muteButton = makeButton(this, "muteButton", QStringLiteral("Mute"));
    m_volumeSlider = makeSlider(this, "volumeSlider", QStringLiteral("Volume"));
    m_volumeSlider->setRange(0, 100);
    m_volumeSlider->setSingleStep(5);
    m_volumeSlider->setPageStep(volumeStep);
    // A screen reader would read both values as bare numbers, the position in milliseconds.
    connect(m_seekSlider, &QSlider::valueChanged, this, [this](int ms) { tellPosition(ms); });
    connect(m_volumeSlider, &QSlider::valueChanged, this, [this](int volume) {
        corvalo::setValueText(m_volumeSlider, QString::number(volume) + u'%');
    });
    m_volumeSlider->setValue(50);
    m_volumeSlider->setFixedWidth(48);

    connect(m_playButton, &QToolButton::clicked, this, &PlayerStrip::togglePlay);
    connect(m_stopButton, &QToolButton::clicked, this, &PlayerStrip::stop);
    connect(m_muteButton, &QToolButton::clicked, this, [this] {
        emit changeMuting(!m_muted);
        corvalo::announce(m_muteButton,
                          m_muted ? QStringLiteral("Muted") : QStringLiteral("Unmuted"));
    });
    // Only the user's moves count; values set from the player do not trigger actions.
    connect(m_seekSlider, &QSlider::actionTriggered, this,
            [this] { emit seek(m_seekSlider->sliderPosition()); });
    connect(m_volumeSlider, &QSlider::actionTriggered, this,
            [this] { emit changeVolume(m_volumeSlider->sliderPosition()); });

    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    top->addWidget(m_titleLabel, 1);
    top->addWidget(m_timeLabel);
    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(2);
    bottom->addWidget(m_playButton);
    bottom->addWidget(m_stopButton);
    bottom->addWidget(m_seekSlider, 1);
    bottom->addWidget(m_muteButton);
    bottom->addWidget(m_volumeSlider);
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(4, 1, 3, 1);
    rows->setSpacing(0);
    rows->addLayout(top);
    rows->addLayout(bottom);
}

void PlayerStrip::buildMenu()
{
    setContextMenuPolicy(Qt::ActionsContextMenu);
    auto add = [this](const QString& text, auto handler) {
        auto* action = new QAction(text, this);
        connect(action, &QAction::triggered, this, handler);
        addAction(action);
        return action;
    };
    auto separator = [this] {
        auto* line = new QAction(this);
        line->setSeparator(true);
        addAction(line);
    };
    m_playAction = add(QStringLiteral("Play"), [this] { emit play(); });
    m_pauseAction = add(QStringLiteral("Pause"), [this] { emit pause(); });
    m_stopAction = add(QStringLiteral("Stop"), [this] { emit stop(); });
    separator();
    m_backAction = add(QStringLiteral("Back 10 Seconds"), [this] { nudgePosition(-seekStep); });
    m_forwardAction =
        add(QStringLiteral("Forward 10 Seconds"), [this] { nudgePosition(seekStep); });
    separator();
    m_muteAction = add(QStringLiteral("Mute"), [this] { emit changeMuting(!m_muted); });
    m_muteAction->setCheckable(true);
    m_louderAction = add(QStringLiteral("Volume Up"), [this] { nudgeVolume(volumeStep); });
    m_softerAction = add(QStringLiteral("Volume Down"), [this] { nudgeVolume(-volumeStep); });
}

int PlayerStrip::volume() const
{
    return m_volumeSlider->value();
}

void PlayerStrip::togglePlay()
{
    if (m_state == State::Playing)
        emit pause();
    else
        emit play();
    // The player has taken the new state, or says in its own box why it could not.
    if (m_state == State::Playing)
        corvalo::announce(m_playButton, QStringLiteral("Playing ") + m_title);
    else if (m_state == State::Paused)
        corvalo::announce(m_playButton, QStringLiteral("Paused"));
}

void PlayerStrip::nudgeVolume(int by)
{
    emit changeVolume(std::clamp(volume() + by, 0, 100));
}

void PlayerStrip::nudgePosition(qint64 by)
{
    emit seek(std::clamp(m_position + by, qint64(0), m_duration));
}

void PlayerStrip::setState(State state)
{
    m_state = state;
    refresh();
}

void PlayerStrip::setMedia(const QString& title, const QString& location)
{
    m_title = title;
    m_titleLabel->setText(title);
    m_titleLabel->setToolTip(location);
    m_position = 0;
    m_duration = 0;
    refresh();
}

void PlayerStrip::setDuration(qint64 ms)
{
    m_duration = std::max(ms, qint64(0));
    refresh();
}

void PlayerStrip::setPosition(qint64 ms)
{
    m_position = std::max(ms, qint64(0));
    refreshTime();
}

void PlayerStrip::setSeekable(bool seekable)
{
    m_seekable = seekable;
    refresh();
}

void PlayerStrip::setVolume(int volume)
{
    m_volumeSlider->setValue(volume);
    refresh();
}

void PlayerStrip::setMuted(bool muted)
{
    m_muted = muted;
    refresh();
}

void PlayerStrip::refresh()
{
    const bool hasMedia = !m_title.isEmpty();
    const bool playing = m_state == State::Playing;
    const bool canStop = hasMedia && m_state != State::Stopped;
    const bool canSeek = hasMedia && m_seekable && m_duration > 0;

    const QString playLabel = playing ? QStringLiteral("Pause") : QStringLiteral("Play");
    m_playButton->setIcon(corvalo::pictureIcon(playing ? QStringLiteral("player-pause.png")
                                                       : QStringLiteral("player-play.png")));
    m_playButton->setAccessibleName(playLabel);
    m_playButton->setToolTip(playLabel);
    m_playButton->setEnabled(hasMedia);
    m_stopButton->setEnabled(canStop);
    m_playAction->setEnabled(hasMedia && !playing);
    m_pauseAction->setEnabled(playing);
    m_stopAction->setEnabled(canStop);

    m_seekSlider->setEnabled(canSeek);
    m_seekSlider->setRange(0, static_cast<int>(std::min<qint64>(m_duration, INT_MAX)));
    m_seekSlider->setPageStep(
        static_cast<int>(std::clamp(m_duration / 10, qint64(1000), seekStep)));
    m_backAction->setEnabled(canSeek);
    m_forwardAction->setEnabled(canSeek);

    m_muteButton->setIcon(corvalo::pictureIcon(m_muted ? QStringLiteral("player-muted.png")
                                                       : QStringLiteral("player-volume.png")));
    const QString muteLabel = m_muted ? QStringLiteral("Unmute") : QStringLiteral("Mute");
    m_muteButton->setAccessibleName(muteLabel);
    m_muteButton->setToolTip(muteLabel);
    m_muteAction->setChecked(m_muted);
    m_louderAction->setEnabled(volume() < 100);
    m_softerAction->setEnabled(volume() > 0);
    refreshTime();
}

void PlayerStrip::refreshTime()
{
    // Where the user moved the slider and the player followed, the slider takes its new value
    // itself and that one is told.
    const int position = static_cast<int>(std::min<qint64>(m_position, INT_MAX));
    if (!m_seekSlider->isSliderDown() && m_seekSlider->sliderPosition() != position)
        corvalo::setValueQuietly(m_seekSlider, position);
    m_timeLabel->setText(m_title.isEmpty() ? QString()
                                           : formatTime(m_position) + QStringLiteral(" / ") +
                                                 formatTime(m_duration));
    tellPosition(m_seekSlider->isSliderDown() ? m_seekSlider->value() : m_position);
}

void PlayerStrip::tellPosition(qint64 ms)
{
    corvalo::setValueText(m_seekSlider,
                          m_title.isEmpty()
                              ? QString()
                              : formatTime(ms) + QStringLiteral(" of ") + formatTime(m_duration));
}

QString PlayerStrip::formatTime(qint64 ms)
{
    const qint64 seconds = std::max(ms, qint64(0)) / 1000;
    const QChar zero(u'0');
    if (seconds < 3600)
        return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, zero);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, zero)
        .arg(seconds % 60, 2, 10, zero);
}
