#pragma once

#include "platform/print/Printer.h"

#include <QString>
#include <vector>

namespace telmo {

// A printer that draws nothing and records every operation with its arguments, with fixed
// font metrics so that coordinates are exact:
//   TextWidth(t)  = number of characters of t x size in points x 10 twips
//   TextHeight(t) = size in points x 24 twips (also for an empty text)
// Page numbers count from 1; NewPage records itself and moves to the next page, and the
// next document after EndDoc starts again at page 1.
class RecordingPrinter : public Printer {
public:
    enum class OpKind { Text, Line, Box, Picture, NewPage, EndDoc };
    struct Op {
        OpKind kind = OpKind::Text;
        int page = 1;
        QPointF from;  // Text: top-left; Line, Box: first corner; Picture: dest top-left
        QPointF to;    // Line, Box: second corner
        QString text;  // Text
        FontSpec font; // the current font when the operation ran
        PicturePtr picture;
        QRectF dest, source;
    };

    // Defaults: US Letter (12240 x 15840) with a printable area of 11520 x 15120.
    RecordingPrinter(float scaleWidth = 11520, float scaleHeight = 15120, float width = 12240,
                     float height = 15840, QString deviceName = QStringLiteral("Recorder"));

    const std::vector<Op>& Ops() const { return ops_; }
    std::vector<Op> OpsOf(OpKind kind) const;
    std::vector<QString> Texts() const;
    void ClearOps() { ops_.clear(); }
    int CurrentPage() const { return page_; }

    // Fault injection: the n-th (from 1) later operation of this kind raises error 482.
    void FailOn(OpKind kind, int nth);
    void SetScaleSize(float scaleWidth, float scaleHeight) {
        scaleWidth_ = scaleWidth, scaleHeight_ = scaleHeight;
    }

    float ScaleWidth() const override { return scaleWidth_; }
    float ScaleHeight() const override { return scaleHeight_; }
    float TextWidth(const QString& text) override;
    float TextHeight(const QString& text) override;
    float Width() const override { return width_; }
    float Height() const override { return height_; }
    void NewPage() override;
    void EndDoc() override;
    bool InDocument() const override { return inDocument_; }
    QString DeviceName() const override { return deviceName_; }
    int16_t Orientation() const override { return orientation_; }
    void SetOrientation(int16_t o) override { orientation_ = o; }
    int16_t PaperSize() const override { return paperSize_; }
    void SetPaperSize(int16_t p) override { paperSize_ = p; }
    int16_t Copies() const override { return copies_; }
    void SetCopies(int16_t c) override { copies_ = c; }
    int16_t Duplex() const override { return duplex_; }
    void SetDuplex(int16_t d) override { duplex_ = d; }

protected:
    void DrawText(QPointF topLeft, const FontSpec& font, const QString& text) override;
    void DrawLine(QPointF from, QPointF to) override;
    void DrawBox(const QRectF& rect) override;
    void DrawPicture(const PicturePtr& picture, const QRectF& dest, const QRectF& source) override;

private:
    void Record(Op op);

    float scaleWidth_, scaleHeight_, width_, height_;
    QString deviceName_;
    int16_t orientation_ = kPortrait, paperSize_ = kPaperLetter, copies_ = 1, duplex_ = kSimplex;
    int page_ = 1;
    bool inDocument_ = false;
    std::vector<Op> ops_;
    OpKind failKind_ = OpKind::Text;
    int failCountdown_ = 0;
};

} // namespace telmo
