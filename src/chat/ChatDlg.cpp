#include "chat/ChatDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSizeGrip>
#include <QTextBlock>
#include <QTextEdit>
#include <QTime>
#include <QVBoxLayout>
#include <QWindow>

#include "chat/BackSetDlg.h"
#include "chat/ChatHistory.h"
#include "chat/ChatPayload.h"
#include "chat/RichTextDocument.h"
#include "chat/RtfWriter.h"
#include "config/OwnSettings.h"
#include "ui/HoverButton.h"
#include "ui/Pictures.h"

namespace kova {

namespace {

const QColor kCaptionColour(45, 104, 173);
const QColor kCaptionFlashColour(230, 140, 40);
// The pictures of the window's buttons are drawn on the default background.
const QColor kButtonKey(216, 230, 243);
constexpr int kProgramIcon = 153;
constexpr int kCaptionIconSide = 20;

// kova.ini: the folder of the file last sent, for the next choice.
const QString kChatSection = QStringLiteral("Chat");
const QString kLastFolderKey = QStringLiteral("LastFileFolder");

CChatDlg::ChooseFont& fontChooser() {
    static CChatDlg::ChooseFont choose = chooseFontAndColour;
    return choose;
}

CChatDlg::ChooseFile& fileChooser() {
    static CChatDlg::ChooseFile choose = [](QWidget* parent) {
        OwnSettings own;
        const QString folder = CChatDlg::fileStartFolder(
            own.file().readString(kChatSection, kLastFolderKey, {}, IniFile::kUnlimited));
        const QString path = QFileDialog::getOpenFileName(parent, QString(), folder,
                                                          QStringLiteral("All Files (*)"));
        if (!path.isEmpty()) {
            // Unwritable, the next choice starts at home again; nothing else is lost.
            own.file().writeString(kChatSection, kLastFolderKey, QFileInfo(path).absolutePath());
        }
        return path;
    };
    return choose;
}

}  // namespace

QString CChatDlg::fileStartFolder(const QString& lastFolder) {
    return !lastFolder.isEmpty() && QFileInfo(lastFolder).isDir() ? lastFolder : QDir::homePath();
}

void CChatDlg::setChoosers(ChooseFont font, ChooseFile file) {
    if (font) {
        fontChooser() = std::move(font);
    }
    if (file) {
        fileChooser() = std::move(file);
    }
}

CChatDlg::CChatDlg(CChatChannel* channel, const QString& ownName, const QString& peerName,
                   const QString& peerAddress, AvSettings& settings, QWidget* mainWindow,
                   IBalloonReporter* balloons)
    : QDialog(nullptr, Qt::Window | Qt::FramelessWindowHint),
      channel_(channel),
      ownName_(ownName),
      peerName_(peerName),
      peerAddress_(peerAddress),
      settings_(settings),
      mainWindow_(mainWindow),
      balloons_(balloons),
      chatFormat_(CharFormat::effective(settings.charFormat, QTime::currentTime())) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(peerName_);
    setWindowIcon(picture(kProgramIcon));
    setMinimumSize(kMinimumSize);
    createControls();
    applyInputFormat();
    applyBackground();

    const QSize screen = screenArea();
    if (auto placed = restoredPlacement(settings_.chatPlacement, screen)) {
        setGeometry(*placed);
    } else {
        resize(kDefaultSize);
        move(std::max(0, (screen.width() - kDefaultSize.width()) / 2),
             std::max(0, (screen.height() - kDefaultSize.height()) / 2));
    }
}

CChatDlg::~CChatDlg() {
    finish();
}

void CChatDlg::createControls() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, kCaptionHeight + 4, 6, 6);
    outer->setSpacing(6);

    auto* icon = new QLabel(this);
    // scaled() counts the picture's own pixels and keeps its pixel ratio.
    const QPixmap programIcon = picture(kProgramIcon);
    icon->setPixmap(programIcon.scaled(
        QSize(kCaptionIconSide, kCaptionIconSide) * programIcon.devicePixelRatio(),
        Qt::KeepAspectRatio, Qt::SmoothTransformation));
    icon->setGeometry(6, (kCaptionHeight - kCaptionIconSide) / 2, kCaptionIconSide,
                      kCaptionIconSide);
    controls_[IDC_ICON] = icon;

    auto makeButton = [this](int id, int pictureId, const char* tip, bool focusFrame) {
        auto* b = new CHoverButton(this);
        b->LoadBitmap(pictureId, kButtonKey, focusFrame);
        b->SetParentBackground(&backBuffer_, 0);
        b->SetTooltip(QString::fromUtf8(tip));
        b->setObjectName(QString::number(id));
        controls_[id] = b;
        return b;
    };
    auto* close = makeButton(IDC_CLOSE, IDC_CLOSE, "Close Chat", false);
    auto* minimise = makeButton(IDC_MINIMIZE, IDC_MINIMIZE, "Minimize", false);
    connect(close, &QAbstractButton::clicked, this, &QWidget::close);
    connect(minimise, &QAbstractButton::clicked, this, &QWidget::showMinimized);

    history_ = new CChatHistory(this);
    history_->setObjectName(QString::number(IDC_HISTORY));
    history_->setAccessibleName(QStringLiteral("Conversation"));
    history_->installEventFilter(this);
    history_->viewport()->installEventFilter(this);
    controls_[IDC_HISTORY] = history_;
    outer->addWidget(history_, 3);

    auto* tools = new QHBoxLayout;
    auto* font = makeButton(IDC_FONT, IDC_FONT, "Choose Text Format", true);
    auto* back = makeButton(IDC_BACKGROUND, IDC_BACKGROUND, "Change Background", true);
    auto* file = makeButton(IDC_FILE, IDC_FILE, "Send File to Contact", true);
    file->setEnabled(false);
    tools->addWidget(font);
    tools->addWidget(back);
    tools->addWidget(file);
    tools->addStretch();
    outer->addLayout(tools);
    connect(font, &QAbstractButton::clicked, this, &CChatDlg::ChooseFontFormat);
    connect(back, &QAbstractButton::clicked, this, &CChatDlg::ChangeBackground);
    connect(file, &QAbstractButton::clicked, this, [this] {
        const QString path = fileChooser()(this);
        if (!path.isEmpty() && QFileInfo(path).isFile()) {
            OfferFile(path);
        }
    });

    auto* bottom = new QHBoxLayout;
    input_ = new QTextEdit(this);
    input_->setObjectName(QString::number(IDC_INPUT));
    input_->setAccessibleName(QStringLiteral("Message"));
    input_->setAcceptRichText(false);
    input_->installEventFilter(this);
    input_->viewport()->installEventFilter(this);
    connect(input_, &QTextEdit::textChanged, this, &CChatDlg::limitInput);
    controls_[IDC_INPUT] = input_;
    bottom->addWidget(input_, 1);
    auto* send = makeButton(IDC_SEND, IDC_SEND, "Send", true);
    connect(send, &QAbstractButton::clicked, this, &CChatDlg::SendMessage);
    bottom->addWidget(send, 0, Qt::AlignBottom);
    outer->addLayout(bottom, 1);

    auto* grip = new QSizeGrip(this);
    grip->resize(12, 12);
    grip->setObjectName(QStringLiteral("grip"));
    input_->setFocus();
}

QWidget* CChatDlg::control(int id) const {
    return controls_.value(id);
}

QString CChatDlg::captionText() const {
    return QStringLiteral(":) ") + peerName_;
}

QSize CChatDlg::screenArea() const {
    const QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    return s != nullptr ? s->availableGeometry().size() : QSize(1280, 1024);
}

std::optional<QRect> CChatDlg::restoredPlacement(const RectI32& stored, QSize screen) {
    const qint64 width = qint64(stored.right) - stored.left;
    const qint64 height = qint64(stored.bottom) - stored.top;
    if (width <= 0 || height <= 0) {
        return std::nullopt;  // none stored, or a damaged rectangle
    }
    qint64 left = std::max<qint64>(stored.left, 0);
    qint64 top = std::max<qint64>(stored.top, 0);
    qint64 right = std::min<qint64>(stored.right, screen.width());
    qint64 bottom = std::min<qint64>(stored.bottom, screen.height());
    // A window left beyond the screen (a screen that got smaller) would be cut
    // to nothing: keep its size and pull it back onto the screen instead.
    if (right - left < kMinimumSize.width() || bottom - top < kMinimumSize.height()) {
        const qint64 w = std::min<qint64>(width, screen.width());
        const qint64 h = std::min<qint64>(height, screen.height());
        left = std::clamp<qint64>(stored.left, 0, std::max<qint64>(0, screen.width() - w));
        top = std::clamp<qint64>(stored.top, 0, std::max<qint64>(0, screen.height() - h));
        right = left + w;
        bottom = top + h;
    }
    return QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                 static_cast<int>(bottom - top));
}

void CChatDlg::applyInputFormat() {
    const QTextCharFormat format = chatFormat_.toTextFormat();
    QTextCursor all(input_->document());
    all.select(QTextCursor::Document);
    all.mergeCharFormat(format);
    input_->mergeCurrentCharFormat(format);
}

void CChatDlg::applyBackground() {
    background_ = ChatBackground::fromSettings(settings_, screenArea());
    const bool picture = background_.mode == BackgroundMode::ImageFile;
    QPalette p = palette();
    p.setColor(QPalette::Window, background_.colour);
    setPalette(p);

    QPalette h = history_->palette();
    h.setColor(QPalette::Base, picture ? QColor(Qt::transparent) : background_.colour);
    history_->setPalette(h);
    history_->viewport()->setAutoFillBackground(!picture);
    QPalette i = input_->palette();
    i.setColor(QPalette::Base, picture ? QColor(Qt::transparent) : kInputColour);
    input_->setPalette(i);
    input_->viewport()->setAutoFillBackground(!picture);
    composeBackBuffer();
    update();
}

void CChatDlg::composeBackBuffer() {
    const qreal ratio = devicePixelRatioF();
    backBuffer_ = QPixmap(size() * ratio);
    backBuffer_.setDevicePixelRatio(ratio);
    QPainter p(&backBuffer_);
    const QRect body = rect().adjusted(0, kCaptionHeight, 0, 0);
    if (background_.mode == BackgroundMode::ImageFile && !background_.picture.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(body, background_.picture);
    } else {
        p.fillRect(body, background_.colour);
    }
    p.end();
    paintCaptionBar();
    for (CHoverButton* b : findChildren<CHoverButton*>()) {
        b->update();
    }
}

void CChatDlg::paintCaptionBar() {
    if (backBuffer_.isNull()) {
        return;  // made at the first paint
    }
    QPainter p(&backBuffer_);
    p.fillRect(QRect(0, 0, width(), kCaptionHeight),
               flashed_ ? kCaptionFlashColour : kCaptionColour);
    p.setPen(ChatBackground::kFrameColour);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CChatDlg::refreshCaptionBar() {
    paintCaptionBar();
    update(0, 0, width(), kCaptionHeight);
    for (int id : {IDC_CLOSE, IDC_MINIMIZE}) {
        controls_.value(id)->update();
    }
}

void CChatDlg::paintEvent(QPaintEvent*) {
    if (backBuffer_.size() != size() * devicePixelRatioF()) {
        composeBackBuffer();
    }
    QPainter p(this);
    p.drawPixmap(0, 0, backBuffer_);
    p.setPen(Qt::white);
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(kCaptionIconSide + 12, 0, width() - 120, kCaptionHeight),
               Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, captionText());
}

void CChatDlg::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::Resize || event->type() == QEvent::WindowStateChange) {
        update();
    }
}

void CChatDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    composeBackBuffer();
    // The caption bar is ours: its buttons sit at its right end.
    int right = width() - 4;
    for (int id : {IDC_CLOSE, IDC_MINIMIZE}) {
        QWidget* b = controls_.value(id);
        const QSize size = b->sizeHint();
        b->setGeometry(right - size.width(), (kCaptionHeight - size.height()) / 2, size.width(),
                       size.height());
        right -= size.width() + 2;
    }
    if (auto* grip = findChild<QSizeGrip*>()) {
        grip->move(width() - grip->width(), height() - grip->height());
        grip->raise();
    }
}

void CChatDlg::mousePressEvent(QMouseEvent* event) {
    stopAttention();
    if (event->button() == Qt::LeftButton && event->position().y() < kCaptionHeight &&
        windowHandle() != nullptr) {
        windowHandle()->startSystemMove();
        return;
    }
    QDialog::mousePressEvent(event);
}

bool CChatDlg::eventFilter(QObject* watched, QEvent* event) {
    const bool inInput = watched == input_ || watched == input_->viewport();
    const bool inHistory = watched == history_ || watched == history_->viewport();
    if (!inInput && !inHistory) {
        return QDialog::eventFilter(watched, event);
    }
    switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::MouseButtonPress:
            stopAttention();
            break;
        case QEvent::KeyPress:
            if (watched == input_) {
                auto* key = static_cast<QKeyEvent*>(event);
                const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
                if (enter && (key->modifiers() & Qt::ControlModifier) != 0) {
                    enterSent_ = false;
                    input_->textCursor().insertText(QStringLiteral("\n"));
                    return true;
                }
                if (enter) {
                    // A held Enter repeats its key-down: one message, not many.
                    if (!enterSent_) {
                        enterSent_ = true;
                        SendMessage();
                    }
                    return true;
                }
                enterSent_ = false;
            }
            break;
        case QEvent::KeyRelease:
            if (watched == input_) {
                auto* key = static_cast<QKeyEvent*>(event);
                if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) {
                    enterSent_ = false;
                }
            }
            break;
        case QEvent::DragEnter:
        case QEvent::DragMove:
            if (watched == input_->viewport()) {
                auto* drag = static_cast<QDropEvent*>(event);
                if (drag->mimeData()->hasUrls()) {
                    if (offerFile_) {
                        drag->acceptProposedAction();
                    } else {
                        drag->ignore();
                    }
                    return true;
                }
            }
            break;
        case QEvent::Drop:
            if (watched == input_->viewport()) {
                auto* drop = static_cast<QDropEvent*>(event);
                if (drop->mimeData()->hasUrls()) {
                    const QList<QUrl> urls = drop->mimeData()->urls();
                    if (offerFile_ && !urls.isEmpty() && urls.front().isLocalFile()) {
                        drop->acceptProposedAction();
                        OfferFile(urls.front().toLocalFile());
                    } else {
                        drop->ignore();
                    }
                    return true;
                }
            }
            break;
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

void CChatDlg::limitInput() {
    if (limiting_) {
        return;
    }
    const int excess = input_->document()->characterCount() - 1 - kInputLimit;
    if (excess <= 0) {
        return;
    }
    limiting_ = true;
    QTextCursor c = input_->textCursor();
    c.clearSelection();
    c.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor,
                   std::min(excess, c.position()));
    c.removeSelectedText();
    limiting_ = false;
}

void CChatDlg::SendMessage() {
    if (input_->document()->isEmpty()) {
        return;
    }
    std::u16string message = writeRtf(richTextOf(*input_->document()));
    if (message.size() > chat::kMaxUnits) {
        // Cut, the document would lose its end and its closing brace; the
        // limited input always fits as plain text.
        QString plain = input_->toPlainText();
        plain.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
        message = toU16(plain.left(static_cast<qsizetype>(chat::kMaxUnits)));
    }
    history_->AppendLine(ownName_, message, chatFormat_.toTextFormat());
    if (channel_) {
        channel_->Send(chat::encodePayload(message), peerAddress_);
    }
    const Qt::Alignment alignment = input_->document()->firstBlock().blockFormat().alignment();
    input_->clear();
    input_->setAlignment(alignment);
    applyInputFormat();
    input_->verticalScrollBar()->setValue(0);
    stopAttention();
}

void CChatDlg::ReceiveMessage(const std::u16string& text) {
    history_->AppendLine(peerName_, text, chatFormat_.toTextFormat());
    flashCaption();
    attention_.start(kAttentionMs, this);
}

void CChatDlg::PeerClosed() {
    history_->AppendLine(peerName_, std::u16string(chat::kClosedLine), chatFormat_.toTextFormat());
}

void CChatDlg::ShowChat() {
    if (isMinimized()) {
        showNormal();
    } else {
        show();
    }
    raise();
    activateWindow();
}

void CChatDlg::flashCaption() {
    flashed_ = !flashed_;
    if (!isActiveWindow()) {
        QApplication::alert(this, kAttentionMs);
    }
    refreshCaptionBar();
}

void CChatDlg::stopAttention() {
    attention_.stop();
    if (flashed_) {
        flashed_ = false;
        refreshCaptionBar();
    }
}

void CChatDlg::timerEvent(QTimerEvent* event) {
    if (event->timerId() == attention_.timerId()) {
        flashCaption();
        return;
    }
    QDialog::timerEvent(event);
}

void CChatDlg::setUrlOpener(OpenUrl open) {
    history_->setUrlOpener(std::move(open));
}

void CChatDlg::setFileOffer(FileOffer offer) {
    offerFile_ = std::move(offer);
    input_->setAcceptDrops(true);
    if (QWidget* file = control(IDC_FILE)) {
        file->setEnabled(static_cast<bool>(offerFile_));
    }
}

void CChatDlg::OfferFile(const QString& path) {
    if (!offerFile_) {
        return;
    }
    const QFileInfo info(path);
    offerFile_(info.absoluteFilePath(), info.fileName(), peerAddress_);
    history_->AppendPlain(info.absoluteFilePath());
}

void CChatDlg::FileNotSent(const QString& path) {
    history_->AppendPlain(kFileNotSent.arg(QFileInfo(path).absoluteFilePath()));
}

void CChatDlg::ChooseFontFormat() {
    const QTextCharFormat current = chatFormat_.toTextFormat();
    const QColor shown = current.hasProperty(QTextFormat::ForegroundBrush)
                             ? current.foreground().color()
                             : input_->palette().text().color();
    const auto chosen = fontChooser()({current.font(), shown}, this);
    if (!chosen) {
        return;
    }
    QTextCharFormat f;
    f.setFont(chosen->font);
    chatFormat_ = chatFormat_.withTextFormat(f);
    if (chosen->colour.isValid()) {
        const QColor c = chosen->colour;
        chatFormat_.colour = colourRef(c.red(), c.green(), c.blue());
        chatFormat_.effects &= ~CharFormat::kAutoColour;
    }
    settings_.charFormat = chatFormat_.encode();
    applyInputFormat();
}

void CChatDlg::ChangeBackground() {
    CBackSetDlg::Values values;
    values.mode = settings_.backgroundMode;
    values.colour = settings_.backgroundColour;
    values.imagePath = toQString(settings_.backgroundImagePath.text());
    const auto edited = CBackSetDlg::edit(values, this);
    if (!edited) {
        return;
    }
    settings_.backgroundMode = edited->mode;
    settings_.backgroundColour = edited->colour;
    settings_.backgroundImagePath.setText(toU16(edited->imagePath));
    applyBackground();
}

void CChatDlg::accept() {
    SendMessage();
}

void CChatDlg::reject() {
    close();
}

void CChatDlg::closeEvent(QCloseEvent* event) {
    finish();
    event->accept();
}

// Stores the placement, says goodbye to the peer and leaves the channel, once.
void CChatDlg::finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    stopAttention();
    const QRect g = geometry();
    settings_.chatPlacement = {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
    if (channel_) {
        channel_->Send(chat::encodePayload(chat::kFarewell), peerAddress_);
        // A newer window of the same peer keeps its place.
        if (channel_->Find(peerAddress_) == this) {
            channel_->Unregister(peerAddress_);
        }
    }
}

}  // namespace kova
