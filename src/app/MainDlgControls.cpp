// The main window's controls: building them, placing them, and the painted
// background with its draggable top band.

#include <algorithm>

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "app/ConferenceMedia.h"
#include "app/MainDlg.h"
#include "app/MainLayout.h"
#include "audio/VolumeSlider.h"
#include "contacts/Imagetxt.h"
#include "contacts/ListContact.h"
#include "ui/HoverButton.h"
#include "ui/Pictures.h"

namespace kova {

namespace {

const QColor kFrame(0x2D, 0x68, 0xAD);
// The buttons' pictures are drawn on this colour, which stays see-through.
const QColor kButtonKey(216, 230, 243);

constexpr int kMargin = 8;
constexpr int kButtonGap = 4;
constexpr QSize kSlider(24, 110);  // until the sliders' pictures load
constexpr QSize kDefaultVideo(320, 240);
constexpr int kListWidth = 200;

struct ButtonSpec {
    int command;
    int picture;
    const char* tooltip;
};

// In the order they stand in the band; Disconnect shares Connect's place.
constexpr ButtonSpec kButtons[] = {
    {CMainDlg::ID_PROFILE, 161, "My Profile"},
    {CMainDlg::ID_NEW, 136, "Add Contact"},
    {CMainDlg::ID_EDIT, 135, "Edit Contact"},
    {CMainDlg::ID_DELETE, 134, "Remove Contact"},
    {CMainDlg::ID_CONNECT, 133, "Start Video Conference"},
    {CMainDlg::ID_DISCONNECT, 1086, "Disconnect Conference"},
    {CMainDlg::ID_CHAT, 174, "Start Chat :)"},
    {CMainDlg::ID_PROPERTIES, 132, "Devices Settings"},
    {CMainDlg::ID_HELP, 156, "Help"},
};

}  // namespace

void CMainDlg::createControls() {
    skin_.LoadBitmaps(CBackImage::kSkinBand, CBackImage::kSkinBody);
    QFont titleFont = font();
    titleFont.setBold(true);
    if (titleFont.pointSizeF() > 0) {
        titleFont.setPointSizeF(titleFont.pointSizeF() * 1.1);
    }
    skin_.SetTitle(windowTitle(), CBackImage::kSkinTitleColour, titleFont);

    // The program picture stands where a title bar has its icon.
    programPicture_ = new QLabel(this);
    programPicture_->setPixmap(picture(172));
    programPicture_->adjustSize();
    programPicture_->move(kMargin, (skin_.BandHeight() - programPicture_->height()) / 2);

    // The tool bar starts just below the band.
    int x = kMargin;
    for (const ButtonSpec& spec : kButtons) {
        auto* b = new CHoverButton(this);
        b->LoadBitmap(spec.picture, kButtonKey, true);
        b->SetTooltip(tr(spec.tooltip));
        b->SetParentBackground(&background_, 0);
        if (spec.command == ID_DISCONNECT) {
            b->move(buttons_[ID_CONNECT]->pos());
            b->hide();
        } else {
            b->move(x, skin_.BandHeight() + 1);
            x += b->width() + kButtonGap;
        }
        connect(b, &QAbstractButton::clicked, this, [this, c = spec.command] { onCommand(c); });
        buttons_[spec.command] = b;
    }
    auto* close = new CHoverButton(this);
    close->LoadBitmap(171, kButtonKey, false);
    close->SetTooltip(tr("Close"));
    close->SetParentBackground(&background_, 0);
    connect(close, &QAbstractButton::clicked, this, [this] { onCommand(ID_CLOSE); });
    buttons_[ID_CLOSE] = close;
    for (int c : {ID_EDIT, ID_DELETE, ID_CONNECT, ID_CHAT}) {
        buttons_[c]->setEnabled(false);
    }

    const int top = bandHeight() + kMargin;
    list_ = new CListContact(this);
    list_->setAccessibleName(tr("Contacts"));
    list_->setGeometry(kMargin, top, kListWidth, kDefaultVideo.height());
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &CMainDlg::updateContactButtons);
    connect(list_, &CListContact::commandRequested, this, &CMainDlg::onCommand);
    connect(list_, &CListContact::deletePressed, this, [this] {
        if (buttons_[ID_DELETE]->isEnabled()) {
            onCommand(ID_DELETE);
        }
    });

    videoArea_ = new QWidget(this);
    videoArea_->setObjectName(QStringLiteral("localVideo"));
    videoArea_->setStyleSheet(QStringLiteral("#localVideo { background: #1b2b3c; }"));
    videoArea_->setGeometry(kMargin + kListWidth + kMargin, top, kDefaultVideo.width(),
                            kDefaultVideo.height());

    speakerSlider_ = new CVolumeSlider(this);
    micSlider_ = new CVolumeSlider(this);
    for (CVolumeSlider* s : {speakerSlider_, micSlider_}) {
        // The body shows through around the slider's pictures.
        s->SetBackground(Qt::transparent);
        s->SetBitmaps(181, s == micSlider_ ? 182 : 183, 184, 185, Qt::black);
        s->Bind(s == micSlider_);
    }

    statusPanel_ = new CImagetxt(this);
    statusPanel_->SetBitmap(168, Qt::white);
}

int CMainDlg::bandHeight() const {
    const CHoverButton* profile = buttons_.value(ID_PROFILE);
    return profile != nullptr ? profile->geometry().bottom() + 1 + 9 : 100;
}

void CMainDlg::layoutControls() {
    MainLayoutInput in;
    in.bandHeight = skin_.BandHeight();
    in.videoArea = videoArea_->geometry();
    in.captureSize = media_ ? media_->captureSize() : kDefaultVideo;
    if (const QScreen* s = screen()) {
        in.screenSize = s->availableGeometry().size();
    } else {
        in.screenSize = QSize(1280, 800);
    }
    in.list = list_->geometry();
    in.helpRight = buttons_[ID_HELP]->geometry().right() + 1;
    in.slider = speakerSlider_->size().isEmpty() ? kSlider : speakerSlider_->size();
    in.panelHeight = statusPanel_->Height();
    in.closeButton = buttons_[ID_CLOSE]->size();

    const MainLayout out = computeMainLayout(in);
    videoArea_->setGeometry(out.videoArea);
    if (media_ && media_->preview() != nullptr) {
        media_->preview()->setGeometry(videoArea_->rect());
    }
    list_->setGeometry(out.list);
    speakerSlider_->setGeometry(out.speakerSlider);
    micSlider_->setGeometry(out.micSlider);
    statusPanel_->setGeometry(out.statusPanel);
    buttons_[ID_CLOSE]->setGeometry(out.closeButton);
    setFixedSize(out.client);
    // Grown past the screen's edge (a larger capture than at the start): back
    // onto it.
    if (const QScreen* s = screen()) {
        const QRect avail = s->availableGeometry();
        const QPoint p(
            std::clamp(x(), avail.left(), std::max(avail.left(), avail.right() + 1 - width())),
            std::clamp(y(), avail.top(), std::max(avail.top(), avail.bottom() + 1 - height())));
        if (p != pos()) {
            move(p);
        }
    }
}

void CMainDlg::composeBackground() {
    skin_.Compose(width(), height(), true, devicePixelRatioF());
    background_ = QPixmap::fromImage(skin_.picture());
    // A frameless window needs an edge of its own against the desktop.
    QPainter painter(&background_);
    painter.setPen(kFrame);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    for (CHoverButton* b : std::as_const(buttons_)) {
        b->update();
    }
}

void CMainDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    composeBackground();
    update();
}

void CMainDlg::paintEvent(QPaintEvent*) {
    if (background_.size() != size() * devicePixelRatioF()) {
        composeBackground();  // a screen of another density
    }
    QPainter(this).drawPixmap(0, 0, background_);
}

void CMainDlg::mousePressEvent(QMouseEvent* event) {
    // The band stands in for a title bar.
    if (event->button() == Qt::LeftButton && event->position().y() < bandHeight() &&
        windowHandle() != nullptr) {
        windowHandle()->startSystemMove();
        return;
    }
    QDialog::mousePressEvent(event);
}

}  // namespace kova
