#pragma once

// TDBText: a label showing one field's display text of the current record.

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
    std::string Text() const { return text().toStdString(); }

private:
    class Link;
    friend class Link;

    void updateText();

    std::unique_ptr<Link> m_link;
    std::string m_dataField;
};

} // namespace tk
