#include "app/Application.hpp"

int main()
{
    return Application().run();
}
