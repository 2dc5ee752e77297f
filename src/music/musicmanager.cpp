#include "musicmanager.h"

#include "look/accessibility.h"
#include "look/appearance.h"
#include "look/picturebutton.h"
#include "look/product.h"
#include "musicplayer.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>

namespace {

struct FileType {
    const char* description;
    const char* patterns;
};

constexpr FileType fileTypes[] = {
    {"All Files(*.*)", "*.*"},
    {"MP3 files (*.mp3,*.m3u)", "*.mp3;  *.m3u"},
    {"windows media player files(*.asf,*.wma,*.wmx)", "*.wma; *.wmx; *.asf; *.wax"},
    {"Audio File(.wav)", "*.wav"},
    {"Midi Files(.Mid, .midi, .rmi)", "*.midi;  *.Mid;  *.rmi"},
};

const QString comicSans = QStringLiteral("Comic Sans MS");

// Qt's file dialog reads its history, last folder and layout from the user's "QtProject"
// settings when it is made and writes them back whenever one is destroyed, with no option to
// turn that off. Corvalo keeps nothing on disk, so the user's own settings are pointed where no
// file can ever be made (below a device, not a folder); the program has no settings of its own.
void keepNoSettings()
{
    static const bool done = [] {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QStringLiteral("/dev/null"));
        return true;
    }();
    (void)done;
}

} // namespace

frmmusic::frmmusic(QWidget* parent) : QWidget(parent, Qt::Window)
{
    corvalo::exposeWindow(this);
    setObjectName(QStringLiteral("frmmusic"));
    setWindowTitle(QStringLiteral("Music selection"));
    setWindowIcon(corvalo::windowIcon());
    setFont(corvalo::defaultLayoutFont());
    resize(corvalo::twips(4680), corvalo::twips(2460));
    buildControls();
}

QStringList frmmusic::nameFilters()
{
    // The descriptions carry parentheses of their own, so the patterns follow in a group of
    // their own, which the dialog reads and, with HideNameFilterDetails, does not show. It
    // wants them separated by blanks. "*.*" means every file, as it does on Windows.
    QStringList filters;
    for (const FileType& type : fileTypes) {
        QStringList patterns;
        for (const QString& pattern : QString::fromLatin1(type.patterns).split(u';'))
            if (!pattern.trimmed().isEmpty())
                patterns.append(pattern.trimmed() == QLatin1String("*.*") ? QStringLiteral("*")
                                                                          : pattern.trimmed());
        filters.append(QStringLiteral("%1 (%2)").arg(QString::fromLatin1(type.description),
                                                     patterns.join(u' ')));
    }
    return filters;
}

void frmmusic::buildControls()
{
    // Built from the bottom of the stack up; the tab order follows the order of building.
    m_image1 = new QLabel(this);
    m_image1->setObjectName(QStringLiteral("Image1"));
    m_image1->setGeometry(corvalo::twipsRect(0, 0, 4695, 2460));
    m_image1->setScaledContents(true);
    m_image1->setPixmap(
        corvalo::picture(QStringLiteral("starsky.jpg"), m_image1->devicePixelRatioF()));

    m_label1 =
        new QLabel(QStringLiteral("Type in or browse for your music file then press play."), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setGeometry(corvalo::twipsRect(600, 120, 3855, 375));
    m_label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_label1->setWordWrap(true);
    corvalo::setForeColour(m_label1, corvalo::SystemColour::HighlightText);

    const QString snowflakes = QStringLiteral("snowflakes.bmp");
    m_cmdBrowse = new PictureButton(QStringLiteral("Browse"), snowflakes, this);
    m_cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    m_cmdBrowse->setGeometry(corvalo::twipsRect(360, 600, 1215, 375));
    m_cmdBrowse->setFont(corvalo::layoutFont(comicSans, 12));

    m_txtrun = new QLineEdit(this);
    m_txtrun->setObjectName(QStringLiteral("txtrun"));
    m_txtrun->setGeometry(corvalo::twipsRect(1800, 600, 2415, 405));
    m_txtrun->setAccessibleName(QStringLiteral("Music file"));
    corvalo::setBackColour(m_txtrun, corvalo::Colour::fromRgb(0x804040));
    corvalo::setForeColour(m_txtrun, corvalo::SystemColour::WindowBackground);

    m_cmdPlay = new PictureButton(QStringLiteral("Play"), snowflakes, this);
    m_cmdPlay->setObjectName(QStringLiteral("CmdPlay"));
    m_cmdPlay->setGeometry(corvalo::twipsRect(1800, 1200, 1095, 375));
    m_cmdPlay->setFont(corvalo::layoutFont(comicSans, 12));

    m_command1 = new QPushButton(corvalo::product::storeButtonCaption(), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setGeometry(corvalo::twipsRect(480, 1920, 3735, 375));

    for (QPushButton* button :
         {static_cast<QPushButton*>(m_cmdBrowse), static_cast<QPushButton*>(m_cmdPlay), m_command1})
        button->setAutoDefault(false);
    setTabOrder(m_cmdBrowse, m_txtrun);
    setTabOrder(m_txtrun, m_cmdPlay);
    setTabOrder(m_cmdPlay, m_command1);
    m_cmdBrowse->setFocus();

    connect(m_cmdBrowse, &QPushButton::clicked, this, &frmmusic::browse);
    connect(m_cmdPlay, &QPushButton::clicked, this, &frmmusic::play);
    connect(m_command1, &QPushButton::clicked, this, &frmmusic::storeRequested);
}

QFileDialog* frmmusic::dialog()
{
    if (!m_commonDialog1) {
        keepNoSettings();
        m_commonDialog1 = new QFileDialog(this, QStringLiteral("Open"));
        m_commonDialog1->setObjectName(QStringLiteral("CommonDialog1"));
        m_commonDialog1->setAcceptMode(QFileDialog::AcceptOpen);
        m_commonDialog1->setFileMode(QFileDialog::ExistingFile);
        m_commonDialog1->setOptions(QFileDialog::DontUseNativeDialog |
                                    QFileDialog::HideNameFilterDetails);
        m_commonDialog1->setNameFilters(nameFilters());
        const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
        m_commonDialog1->setDirectory(QFileInfo(music).isDir() ? music : QDir::homePath());
    }
    return m_commonDialog1;
}

void frmmusic::browse()
{
    // A cancelled dialog leaves the box alone, so a typed name is not lost.
    QFileDialog* picker = dialog();
    const bool picked = picker->exec() == QDialog::Accepted && !picker->selectedFiles().isEmpty();
    // Accepted with Enter, the dialog leaves its name box's completion list up, holding the
    // mouse and the keyboard; this window takes them back, with the focus on the name.
    for (QCompleter* completer : picker->findChildren<QCompleter*>())
        if (completer->popup())
            completer->popup()->hide();
    activateWindow();
    m_txtrun->setFocus(Qt::OtherFocusReason);
    if (picked)
        m_txtrun->setText(QDir::toNativeSeparators(picker->selectedFiles().first()));
}

void frmmusic::play()
{
    const QString name = m_txtrun->text();
    const QFileInfo file(name);
    if (name.isEmpty() || !file.isFile() || !file.isReadable()) {
        QMessageBox::warning(this, QStringLiteral("Error"),
                             QStringLiteral("Error: You must enter a valid filename!"));
        return;
    }
    emit playRequested(file.absoluteFilePath());
}
