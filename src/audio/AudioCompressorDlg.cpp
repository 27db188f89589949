#include "audio/AudioCompressorDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

#include "platform/AudioCodecs.h"

namespace kova {

CAudioCompressorDlg::CAudioCompressorDlg(QWidget* owner, const QString& title,
                                         std::vector<WaveFormat> formats, const WaveFormat& current,
                                         IAudioCodecs& codecs)
    : QDialog(owner), formats_(std::move(formats)) {
    setWindowTitle(title);
    tags_ = new QComboBox(this);
    attributes_ = new QComboBox(this);
    for (const auto& f : formats_) {
        if (tags_->findData(f.formatTag) < 0) {
            tags_->addItem(codecs.tagName(f.formatTag), f.formatTag);
        }
    }
    auto* form = new QFormLayout;
    form->addRow(tr("Format:"), tags_);
    form->addRow(tr("Attributes:"), attributes_);
    tags_->setAccessibleName(tr("Format"));
    attributes_->setAccessibleName(tr("Attributes"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    int start = -1;
    for (std::size_t i = 0; i < formats_.size(); ++i) {
        if (formats_[i] == current) {
            start = static_cast<int>(i);
        }
    }
    if (start < 0) {
        for (std::size_t i = 0; i < formats_.size() && start < 0; ++i) {
            if (formats_[i].formatTag == current.formatTag) {
                start = static_cast<int>(i);
            }
        }
    }
    if (start >= 0) {
        tags_->setCurrentIndex(tags_->findData(formats_[start].formatTag));
    }
    fillAttributes(start);
    connect(tags_, &QComboBox::currentIndexChanged, this, [this] { fillAttributes(-1); });
}

void CAudioCompressorDlg::fillAttributes(int preferred) {
    attributes_->clear();
    const auto tag = tags_->currentData().toUInt();
    for (std::size_t i = 0; i < formats_.size(); ++i) {
        if (formats_[i].formatTag == tag) {
            attributes_->addItem(attributes(formats_[i]), static_cast<int>(i));
            if (static_cast<int>(i) == preferred) {
                attributes_->setCurrentIndex(attributes_->count() - 1);
            }
        }
    }
}

WaveFormat CAudioCompressorDlg::selected() const {
    const int i = attributes_->currentData().isValid() ? attributes_->currentData().toInt() : -1;
    return i >= 0 && static_cast<std::size_t>(i) < formats_.size() ? formats_[i] : WaveFormat{};
}

QString CAudioCompressorDlg::attributes(const WaveFormat& f) {
    QString text = QStringLiteral("%1 kHz, ").arg(f.samplesPerSec / 1000.0, 0, 'f', 3);
    if (f.bitsPerSample != 0) {
        text += QStringLiteral("%1 Bit, ").arg(f.bitsPerSample);
    }
    text += f.channels == 1 ? QStringLiteral("Mono") : QStringLiteral("Stereo");
    text += QStringLiteral("  %1 KB/s").arg((f.avgBytesPerSec + 512) / 1024);
    return text;
}

bool CDialogFormatChooser::choose(QWidget* owner, const QString& title,
                                  std::array<std::byte, WaveFormat::kAreaSize>& area,
                                  const std::vector<WaveFormat>& formats, IAudioCodecs& codecs) {
    CAudioCompressorDlg dlg(owner, title, formats, WaveFormat::decode(area).value_or(WaveFormat{}),
                            codecs);
    if (dlg.exec() != QDialog::Accepted || dlg.selected().formatTag == 0) {
        return false;
    }
    area = dlg.selected().toArea();
    return true;
}

}  // namespace kova
