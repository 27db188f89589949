#pragma once
// "Select Audio Compressor": the formats the recorded PCM converts to, by
// format name and attributes. Thin: the list comes from the codec manager, the
// checks around it live in CAudioCapture::ChooseCodec.

#include <QDialog>
#include <vector>

#include "audio/AudioFormatChooser.h"
#include "formats/WaveFormat.h"

class QComboBox;

namespace kova {

class CAudioCompressorDlg : public QDialog {
    Q_OBJECT
public:
    CAudioCompressorDlg(QWidget* owner, const QString& title, std::vector<WaveFormat> formats,
                        const WaveFormat& current, IAudioCodecs& codecs);

    WaveFormat selected() const;
    // "8.000 kHz, 16 Bit, Mono  16 KB/s"
    static QString attributes(const WaveFormat& f);

    QComboBox* tagCombo() const { return tags_; }
    QComboBox* attributeCombo() const { return attributes_; }

private:
    void fillAttributes(int preferred);

    std::vector<WaveFormat> formats_;
    QComboBox* tags_ = nullptr;
    QComboBox* attributes_ = nullptr;
};

// The chooser as the codec chooser loop uses it: the dialog, modal.
class CDialogFormatChooser final : public IAudioFormatChooser {
public:
    bool choose(QWidget* owner, const QString& title,
                std::array<std::byte, WaveFormat::kAreaSize>& area,
                const std::vector<WaveFormat>& formats, IAudioCodecs& codecs) override;
};

}  // namespace kova
