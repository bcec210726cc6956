// Loading a data packet into a dataset (SetData) and the packet of its records (Data).

#include "platform/toolkit/data/dataset.h"

#include "platform/toolkit/data/dataset_p.h"

#include <algorithm>
#include <optional>

namespace tk {

using detail::LocateIndex;
using detail::Record;
using detail::sameName;

void TClientDataSet::SetData(const Variant &packet)
{
    SetData(packet.packet());
}

void TClientDataSet::SetData(Variant &&packet)
{
    if (DataPacket *own = packet.exclusivePacket())
        loadPacket(*own, true);
    else
        SetData(packet.packet());
}

void TClientDataSet::SetData(DataPacket &&packet)
{
    loadPacket(packet, true);
}

void TClientDataSet::SetData(const DataPacket &packet)
{
    // Only read: nothing is moved out of a packet that is not consumed.
    loadPacket(const_cast<DataPacket &>(packet), false);
}

void TClientDataSet::loadPacket(DataPacket &packet, bool consume)
{
    d->checkNotComputing("load");
    const size_t packetFields = packet.fields.size();
    for (size_t r = 0; r < packet.rows.size(); ++r)
        if (packet.rows[r].size() != packetFields)
            throw EPacketError("Data packet row " + std::to_string(r) + " has " + std::to_string(packet.rows[r].size())
                               + " values for " + std::to_string(packetFields) + " fields");

    if (!d->hasPersistentDataFields()) {
        // Fields come from the packet. A field of the same name and type survives, so that
        // pointers to it stay valid from one load to the next; calculated fields stay after them.
        std::vector<std::unique_ptr<TField>> next;
        std::vector<std::unique_ptr<TField>> old = std::move(d->fields);
        d->fields.clear();
        d->fieldsChanged();
        for (const PacketField &pf : packet.fields) {
            for (const auto &n : next)
                if (sameName(n->FieldName(), pf.name))
                    throw EPacketError("Duplicate field '" + pf.name + "' in data packet");
            std::unique_ptr<TField> field;
            for (auto &o : old) {
                if (o && !o->Calculated() && sameName(o->FieldName(), pf.name) && o->DataType() == pf.type) {
                    field = std::move(o);
                    break;
                }
            }
            if (!field) {
                field = std::make_unique<TField>(this, pf.name, pf.type, pf.size, TFieldKind::fkData);
                field->m_autoCreated = true;
                field->SetVisible(!(pf.attributes & pfHidden));
                field->SetReadOnly(pf.attributes & pfReadOnly);
            }
            field->m_size = pf.size;
            next.push_back(std::move(field));
        }
        for (auto &o : old)
            if (o && o->Calculated()) {
                for (const auto &n : next)
                    if (sameName(n->FieldName(), o->FieldName()))
                        throw EDatabaseError("Data packet field '" + o->FieldName()
                                             + "' has the name of a calculated field");
                next.push_back(std::move(o));
            }
        d->fields = std::move(next);
        d->fieldsChanged();
        for (size_t i = 0; i < d->fields.size(); ++i)
            d->fields[i]->m_index = int(i);
    }

    // Map every data field to its packet column.
    const size_t nFields = d->fields.size();
    std::vector<int> column(nFields, -1);
    for (size_t i = 0; i < nFields; ++i) {
        const TField &f = *d->fields[i];
        if (f.Calculated())
            continue;
        column[i] = packet.fieldIndex(f.FieldName());
        if (column[i] < 0)
            throw EDatabaseError("Field '" + f.FieldName() + "' not found in the data packet loaded into '"
                                 + m_name + "'");
    }

    // Values already of their field's storage type (the usual case) are taken or copied as they are;
    // others are converted.
    auto converted = [&](const Variant &value, size_t i) -> std::optional<Variant> {
        const TField &f = *d->fields[i];
        if (detail::storedAs(value, f.DataType()))
            return std::nullopt;
        return detail::coerceToField(value, f.DataType(), f.FieldName());
    };
    // Fields in the packet's column order (the usual case: fields made from the packet, calculated
    // ones after them): a consumed row becomes the record's values as it is.
    bool inOrder = consume && nFields >= packetFields;
    for (size_t i = 0; inOrder && i < nFields; ++i)
        inOrder = i < packetFields ? column[i] == int(i) : column[i] < 0;
    // Fields searched before are hashed while their values are at hand.
    std::vector<size_t> hashed;
    for (size_t i = 0; i < nFields; ++i)
        if (!d->fields[i]->Calculated()
            && d->locateIndex.hashedBefore(d->fields[i]->FieldName()))
            hashed.push_back(i);
    std::vector<std::vector<uint64_t>> hashes(hashed.empty() ? 0 : nFields);
    for (size_t f : hashed)
        hashes[f].reserve(packet.rows.size());
    auto hash = [&](const Record &rec) {
        for (size_t f : hashed)
            hashes[f].push_back(LocateIndex::hash(rec.values[f]));
    };
    std::vector<std::unique_ptr<Record>> records;
    records.reserve(packet.rows.size());
    for (auto &row : packet.rows) {
        auto rec = std::make_unique<Record>();
        rec->id = d->nextId++;
        if (inOrder) {
            for (size_t i = 0; i < packetFields; ++i)
                if (std::optional<Variant> value = converted(row[i], i))
                    row[i] = std::move(*value);
            rec->values = std::move(row);
            rec->values.resize(nFields);
            hash(*rec);
            records.push_back(std::move(rec));
            continue;
        }
        rec->values.resize(nFields);
        for (size_t i = 0; i < nFields; ++i) {
            if (column[i] < 0)
                continue;
            Variant &value = row[size_t(column[i])];
            if (std::optional<Variant> other = converted(value, i))
                rec->values[i] = std::move(*other);
            else if (consume)
                rec->values[i] = std::move(value);
            else
                rec->values[i] = value;
        }
        hash(*rec);
        records.push_back(std::move(rec));
    }
    if (consume)
        packet.rows.clear();
    d->openWith(std::move(records), std::move(hashes));
}

DataPacket TClientDataSet::Data() const
{
    DataPacket packet;
    std::vector<size_t> positions;
    for (const auto &f : d->fields) {
        if (f->Calculated())
            continue;
        uint32_t attributes = 0;
        if (!f->Visible())
            attributes |= pfHidden;
        if (f->ReadOnly())
            attributes |= pfReadOnly;
        packet.fields.push_back(PacketField{f->FieldName(), f->DataType(), f->Size(), attributes});
        positions.push_back(size_t(f->Index()));
    }
    packet.rows.reserve(d->records.size());
    for (const auto &r : d->records) {
        std::vector<Variant> row;
        row.reserve(positions.size());
        for (size_t p : positions)
            row.push_back(r->values[p]);
        packet.rows.push_back(std::move(row));
    }
    return packet;
}

} // namespace tk
