#pragma once
// Graphics start-up and shutdown: everything the scenes share, made once, in an order that
// fixes which random numbers each part receives.

namespace show {

// Needs a current rendering context; call once, after the song is loaded.
void init_graphics();

// Returns the particle pool. Textures and lists go with the rendering context; the noise image
// lives until the process ends.
void release_graphics();

// The start of every scene's frame: a 45-degree perspective at 4:3 from 1 to `far_plane` units,
// an identity model-view matrix, and depth testing with the nearer fragment winning.
void begin_scene(double far_plane);

// The nicest perspective correction and line smoothing, with smooth lines on.
void smooth_lines();

// Leaves texturing, culling, blending and depth testing off and depth writes on: the state
// a scene hands back to the frame.
void end_scene();

// For overlays drawn in normalised coordinates: pushes both matrices and loads the identity
// into each, leaving the model-view matrix current. pop_matrices restores them both and leaves
// the projection matrix current.
void push_identity_matrices();
void pop_matrices();

}  // namespace show
