#pragma once
// The game's table of level classes: what the level's registry is filled
// with. Only the game knows every class, so the level library never asks
// for this table; the top fills the registry.
namespace rdv {

class Engine;
class engRegistry;

// Adds the factory of every level class and the static tiles' factory
// (one Register line per class, added by the module that builds it).
void RegisterBuiltClasses(engRegistry& registry);

// Gives the engine a registry holding every built class, unless it already
// has one (a test's doubles stay), and returns it. The game module does
// this when it is made; whoever reads levels without a game (the headless
// engine, a test) calls it first.
engRegistry& InstallBuiltClasses(Engine& engine);

} // namespace rdv
