#pragma once

#include <QWidget>

namespace quillon {

// The batch converter window. It exists from start-up, hidden; its contents come with the
// converter itself.
class TFrmConverter : public QWidget {
    Q_OBJECT
public:
    explicit TFrmConverter(QWidget* parent = nullptr);
    ~TFrmConverter() override;
};

} // namespace quillon
