#include "platform/print/RecordingPrinter.h"

#include "platform/RuntimeError.h"

namespace telmo {

RecordingPrinter::RecordingPrinter(float scaleWidth, float scaleHeight, float width, float height,
                                   QString deviceName)
    : scaleWidth_(scaleWidth), scaleHeight_(scaleHeight), width_(width), height_(height),
      deviceName_(std::move(deviceName)) {}

std::vector<RecordingPrinter::Op> RecordingPrinter::OpsOf(OpKind kind) const {
    std::vector<Op> result;
    for (const Op& op : ops_)
        if (op.kind == kind)
            result.push_back(op);
    return result;
}

std::vector<QString> RecordingPrinter::Texts() const {
    std::vector<QString> result;
    for (const Op& op : ops_)
        if (op.kind == OpKind::Text)
            result.push_back(op.text);
    return result;
}

void RecordingPrinter::FailOn(OpKind kind, int nth) {
    failKind_ = kind;
    failCountdown_ = nth;
}

float RecordingPrinter::TextWidth(const QString& text) {
    return static_cast<float>(text.size()) * FontSize() * 10.0f;
}

float RecordingPrinter::TextHeight(const QString&) {
    return FontSize() * 24.0f;
}

void RecordingPrinter::Record(Op op) {
    if (failCountdown_ > 0 && op.kind == failKind_ && --failCountdown_ == 0)
        throw RuntimeError(err::kPrinterError);
    op.page = page_;
    op.font = Font();
    inDocument_ = op.kind != OpKind::EndDoc && op.kind != OpKind::NewPage ? true
                  : op.kind == OpKind::EndDoc                             ? false
                                                                          : inDocument_;
    ops_.push_back(std::move(op));
}

void RecordingPrinter::NewPage() {
    Op op;
    op.kind = OpKind::NewPage;
    Record(op);
    ++page_;
}

void RecordingPrinter::EndDoc() {
    Op op;
    op.kind = OpKind::EndDoc;
    Record(op);
    page_ = 1;
}

void RecordingPrinter::DrawText(QPointF topLeft, const FontSpec&, const QString& text) {
    Op op;
    op.kind = OpKind::Text;
    op.from = topLeft;
    op.text = text;
    Record(std::move(op));
}

void RecordingPrinter::DrawLine(QPointF from, QPointF to) {
    Op op;
    op.kind = OpKind::Line;
    op.from = from;
    op.to = to;
    Record(std::move(op));
}

void RecordingPrinter::DrawBox(const QRectF& rect) {
    Op op;
    op.kind = OpKind::Box;
    op.from = rect.topLeft();
    op.to = rect.bottomRight();
    Record(std::move(op));
}

void RecordingPrinter::DrawPicture(const PicturePtr& picture, const QRectF& dest, const QRectF& source) {
    Op op;
    op.kind = OpKind::Picture;
    op.from = dest.topLeft();
    op.picture = picture;
    op.dest = dest;
    op.source = source;
    Record(std::move(op));
}

} // namespace telmo
