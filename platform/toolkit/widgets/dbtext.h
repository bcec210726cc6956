#pragma once

// TDBText: a label showing one field's display text of the current record. Its width comes from
// its layout (stretch, minimum width), never from the text shown.

#include "platform/toolkit/data/datasource.h"

#include <QLabel>

#include <memory>
#include <string>

namespace tk {

class TDBText : public QLabel
{
    Q_OBJECT

public:
    explicit TDBText(QWidget *parent = nullptr, const std::string &name = {});
    ~TDBText() override;

    TDataSource *DataSource() const; // Not owned.
    void SetDataSource(TDataSource *source);
    const std::string &DataField() const { return m_dataField; }
    void SetDataField(const std::string &fieldName);
    bool Bold() const { return font().bold(); }
    void SetBold(bool value);
    // The text shown. Drawn by the label itself (not QLabel's text): a new text only repaints it.
    const std::string &Text() const { return m_shown; }

    // The minimum width (setMinimumWidth) and one line of text, whatever the text.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    // Draws its own background (the enclosing panel's colour): the text changes at every record,
    // and a transparent label would make every window around it draw again.
    void paintEvent(QPaintEvent *event) override;

private:
    class Link;
    friend class Link;

    void updateText();

    std::unique_ptr<Link> m_link;
    std::string m_dataField;
    std::string m_shown;
};

} // namespace tk
