#include "fonttables/TablePieces.h"

#include <iterator>
#include <map>

namespace fr {

namespace {
// The pieces so far, keyed by where each starts; later pieces cut into the ones they cover.
class Painting {
public:
    void paint(TablePiece piece) {
        if (piece.length == 0) return;
        const std::uint32_t end = piece.at + piece.length;
        cutAt(piece.at);
        cutAt(end);
        m_pieces.erase(m_pieces.lower_bound(piece.at), m_pieces.lower_bound(end));
        m_pieces.emplace(piece.at, piece);
    }
    // In order, an old copy merged with the next where the two read on from each other.
    std::vector<TablePiece> pieces() const {
        std::vector<TablePiece> out;
        for (const auto& [at, piece] : m_pieces) {
            if (!out.empty() && out.back().fromInstalled && piece.fromInstalled &&
                out.back().at + out.back().length == at && out.back().source + out.back().length == piece.source) {
                out.back().length += piece.length;
                continue;
            }
            out.push_back(piece);
        }
        return out;
    }

private:
    // Splits the piece that covers `at` (not at its start) in two there.
    void cutAt(std::uint32_t at) {
        auto it = m_pieces.upper_bound(at);
        if (it == m_pieces.begin()) return;
        --it;
        TablePiece& before = it->second;
        if (before.at == at || before.at + before.length <= at) return;
        const std::uint32_t head = at - before.at;
        TablePiece after = before;
        after.at = at;
        after.length = before.length - head;
        if (after.fromInstalled)
            after.source += head;
        else
            after.data = after.data.subspan(head);
        before.length = head;
        if (!before.fromInstalled) before.data = before.data.first(head);
        m_pieces.emplace_hint(std::next(it), at, after);
    }

    std::map<std::uint32_t, TablePiece> m_pieces;
};
}  // namespace

std::vector<TablePiece> tablePieces(const TableInstructions& record) {
    Painting painting;
    for (std::int32_t j = 0; j < record.getOldCopyArraySize(); ++j) {
        const _oldFontStruct copy = record.oldCopy(j);
        painting.paint({copy.dst_offset, copy.src_length, true, copy.src_offset, {}});
    }
    for (std::int32_t i = 0; i < record.getNewCopyArraySize(); ++i) {
        std::span<const std::uint8_t> data;
        const _newFontStruct place = record.newData(i, data);
        painting.paint({place.offset, static_cast<std::uint32_t>(data.size()), false, 0, data});
    }
    return painting.pieces();
}

}  // namespace fr
