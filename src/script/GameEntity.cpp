#include "script/GameEntity.hpp"

#include <iostream>

bool GameEntity::extScript(const ScriptLine&)
{
    std::cout << "extScript: No overloaded function." << std::endl;
    return false;
}

std::string GameEntity::extVariable(std::string text)
{
    std::cout << "extVariable: No overloaded function." << std::endl;
    return text;
}
