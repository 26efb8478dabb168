#include "script/Problem.hpp"

#include <iostream>
#include <sstream>

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

Problem& Problem::operator<<(std::string_view text)
{
    if (pieceCount < MaxPieces)
        pieces[pieceCount++] = Piece{text, 0, false};
    return *this;
}

Problem& Problem::operator<<(long long number)
{
    if (pieceCount < MaxPieces)
        pieces[pieceCount++] = Piece{std::string_view(), number, true};
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
    out << componentName << ": ";
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
        if (pieces[i].isNumber)
            out << pieces[i].number;
        else
            out << pieces[i].text;
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
    return out.str();
}

void Problem::report(const Problem& problem)
{
    const Problem* outer = reporting;
    reporting = &problem;
    problem.printLine(std::cerr);
    std::cerr << std::endl;
    reporting = outer;
    if (listener)
        listener(problem);
}
