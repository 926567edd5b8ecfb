#version 430 core
// Only the depth buffer is written; the shadow framebuffer has no colour.

void main()
{
}
