#pragma once
// Graphics start-up and shutdown: everything the scenes share, made once, in an order that
// fixes which random numbers each part receives.

namespace show {

// Needs a current rendering context; call once, after the song is loaded.
void init_graphics();

// Returns the particle pool. Textures and lists go with the rendering context; the noise image
// lives until the process ends.
void release_graphics();

}  // namespace show
