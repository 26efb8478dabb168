#include "report/Problem.hpp"

#include <iostream>
#include <sstream>

namespace
{
// The registered listeners; an empty slot is free. A fixed table, so that a report walks it
// without allocating.
Problem::Listener& slotAt(int slot)
{
    static Problem::Listener slots[Problem::MaxListeners];
    return slots[slot];
}
} // namespace

Problem& Problem::headed(const char* heading)
{
    headingText = heading;
    return *this;
}

Problem& Problem::file(std::string_view path)
{
    fileName = path;
    return *this;
}

Problem& Problem::about(const std::string& command)
{
    commandName = &command;
    return *this;
}

Problem& Problem::at(const std::string& command, int storedLine)
{
    commandName = &command;
    lineMarked = true;
    line = storedLine;
    return *this;
}

Problem& Problem::param(int index)
{
    parameterIndex = index;
    return *this;
}

Problem& Problem::detail(std::string_view text)
{
    detailLine = text;
    return *this;
}

void Problem::add(const Piece& piece)
{
    if (pieceCount < MaxPieces)
        pieces[pieceCount++] = piece;
}

Problem& Problem::operator<<(std::string_view text)
{
    Piece piece;
    piece.text = text;
    add(piece);
    return *this;
}

Problem& Problem::operator<<(long long number)
{
    Piece piece;
    piece.number = number;
    piece.kind = Piece::Kind::Integer;
    add(piece);
    return *this;
}

Problem& Problem::operator<<(double number)
{
    Piece piece;
    piece.real = number;
    piece.kind = Piece::Kind::Real;
    add(piece);
    return *this;
}

std::string Problem::text() const
{
    std::ostringstream out;
    printText(out);
    return out.str();
}

void Problem::printHead(std::ostream& out, bool withLine) const
{
    if (headingText)
        out << headingText << ": ";
    if (commandName)
    {
        out << '(' << *commandName;
        if (withLine && lineMarked)
            out << " @" << line + 1;
        out << ") ";
    }
}

void Problem::printText(std::ostream& out) const
{
    for (int i = 0; i < pieceCount; ++i)
    {
        switch (pieces[i].kind)
        {
        case Piece::Kind::Integer: out << pieces[i].number; break;
        case Piece::Kind::Real: out << pieces[i].real; break;
        case Piece::Kind::Text: out << pieces[i].text; break;
        }
    }
}

void Problem::printLine(std::ostream& out) const
{
    printHead(out, true);
    if (parameterIndex >= 0)
        out << "param " << parameterIndex << ' ';
    printText(out);
}

std::string Problem::consoleLine() const
{
    std::ostringstream out;
    printLine(out);
    return out.str();
}

void Problem::printConsole(std::ostream& out) const
{
    printLine(out);
    out << std::endl;
    if (!detailLine.empty())
        out << detailLine << std::endl;
}

std::string Problem::panelText(const std::string& where) const
{
    std::ostringstream out;
    if (!where.empty())
        out << where << ": ";
    // The stored-line count means nothing to an author; parameters are counted from 1 as the
    // checker counts them.
    printHead(out, false);
    if (parameterIndex >= 0)
        out << "parameter " << parameterIndex + 1 << ": ";
    printText(out);
    if (!detailLine.empty())
        out << ' ' << detailLine;
    return out.str();
}

Problem::Listening& Problem::Listening::operator=(Listening&& other) noexcept
{
    if (this != &other)
    {
        stop();
        slot = other.slot;
        other.slot = -1;
    }
    return *this;
}

void Problem::Listening::stop()
{
    if (slot < 0)
        return;
    slotAt(slot) = nullptr;
    slot = -1;
}

Problem::Listening Problem::listen(Listener listener)
{
    for (int slot = 0; slot < MaxListeners; ++slot)
    {
        if (slotAt(slot))
            continue;
        slotAt(slot) = std::move(listener);
        return Listening(slot);
    }
    return Listening();
}

void Problem::report(const Problem& problem)
{
    // The console's listener: standard error, as it has always been written.
    problem.printConsole(std::cerr);
    for (int slot = 0; slot < MaxListeners; ++slot)
    {
        const Listener& listener = slotAt(slot);
        if (listener)
            listener(problem);
    }
}
