// AnchorLayout: places widgets at fixed design positions and keeps the edges they are
// anchored to at a constant distance from the same edges of their parent, the way a form
// designer's anchors do. The distances are those of the design size of the whole window:
// every container between the window and this layout grows and shrinks one to one with the
// window, so a widget anchored to both left and right is (design width + the window's growth)
// wide. At the window's design size every widget has exactly its design rectangle.
//
// The minimum size holds every widget that keeps its place whatever the size (one not anchored
// to the right or bottom edge); those that follow an edge are kept whole by the window's own
// minimum size.
#pragma once

#include <vector>

#include <QLayout>
#include <QRect>
#include <QSize>

namespace barvik {

enum Anchor : unsigned {
  kAnchorLeft = 1,
  kAnchorTop = 2,
  kAnchorRight = 4,
  kAnchorBottom = 8,
  kAnchorTopLeft = kAnchorLeft | kAnchorTop,
  kAnchorAll = kAnchorLeft | kAnchorTop | kAnchorRight | kAnchorBottom,
};

class AnchorLayout : public QLayout {
 public:
  // `design_window` is the client size of the top-level window at which the design
  // rectangles hold.
  AnchorLayout(QWidget* parent, QSize design_window);
  ~AnchorLayout() override;
  AnchorLayout(const AnchorLayout&) = delete;
  AnchorLayout& operator=(const AnchorLayout&) = delete;

  // Adds `widget` (reparented to this layout's widget). An empty design size takes the
  // widget's size hint, so a label keeps fitting its text.
  void Add(QWidget* widget, QRect design, unsigned anchors = kAnchorTopLeft);

  void addItem(QLayoutItem* item) override;
  int count() const override;
  QLayoutItem* itemAt(int index) const override;
  QLayoutItem* takeAt(int index) override;
  QSize sizeHint() const override;
  QSize minimumSize() const override;
  void setGeometry(const QRect& rect) override;

 private:
  struct Entry {
    QLayoutItem* item;
    QRect design;
    unsigned anchors;
  };

  QSize design_window_;
  std::vector<Entry> entries_;
};

}  // namespace barvik
