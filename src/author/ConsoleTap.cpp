#include "author/ConsoleTap.hpp"

ConsoleTap::ConsoleTap(std::ostream& tapped) : LineSplitBuffer(tapped.rdbuf()), stream(tapped)
{
    stream.rdbuf(this);
}

ConsoleTap::~ConsoleTap()
{
    stream.rdbuf(through);
}
