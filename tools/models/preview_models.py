"""Render a quick look at each exported model (for checking by eye).

    blender -b --factory-startup -P tools/models/preview_models.py -- [REPO_ROOT] [OUT_DIR]

Imports each .gltf with Blender's own glTF importer, scales it as the game
places it (so tree, shroom, woods and floor show their world proportions)
and renders it with Cycles on the CPU to OUT_DIR/NAME.png (default
/tmp/quillfen-previews). The butterfly is also rendered with its joints
turned by +-30 degrees about their local y axes, as the game flaps them
(butterfly_flap.png), and from above (butterfly_top.png). The renders are
for looking at, not for the repository.
"""

import math
import os
import sys

import bpy
import numpy
from mathutils import Euler, Matrix, Vector

# model: (folder, scale the game gives it)
MODELS = {
    "char": ("dummy", (1, 1, 1)),
    "cube": ("dummy", (1, 1, 1)),
    "floor": ("dummy", (100, 112.5, 1)),
    "pollen": ("dummy", (1, 1, 1)),
    "projectile": ("dummy", (1, 1, 1)),
    "raindrop": ("dummy", (2, 2, 2)),
    "shroom": ("world", (10 / 3, 10 / 3, 10.5)),
    "tree": ("world", (15, 15, 30)),
    "woods": ("world", (50, 37.5, 37.5)),
    "butterfly": ("world", (0.02, 0.02, 0.02)),
}


# Blender 3.4's glTF importer still uses numpy.bool, which numpy 1.24
# (Debian 12) no longer has.
if "bool" not in numpy.__dict__:
    numpy.bool = bool


def setup_render(path):
    scene = bpy.context.scene
    scene.render.engine = 'CYCLES'
    scene.cycles.device = 'CPU'
    scene.cycles.samples = 24
    scene.cycles.use_denoising = False
    scene.render.resolution_x = 480
    scene.render.resolution_y = 360
    scene.render.filepath = path
    scene.view_settings.view_transform = 'Standard'
    world = bpy.data.worlds.new("Sky")
    world.use_nodes = True
    world.node_tree.nodes["Background"].inputs["Color"].default_value = (0.55, 0.62, 0.72, 1.0)
    world.node_tree.nodes["Background"].inputs["Strength"].default_value = 0.8
    scene.world = world
    sun = bpy.data.objects.new("Sun", bpy.data.lights.new("Sun", 'SUN'))
    sun.data.energy = 3.0
    sun.rotation_euler = Euler((math.radians(40), math.radians(15), math.radians(30)))
    scene.collection.objects.link(sun)


def frame_camera(objects, direction):
    pts = [o.matrix_world @ Vector(c) for o in objects if o.type == 'MESH' for c in o.bound_box]
    lo = Vector(tuple(min(p[i] for p in pts) for i in range(3)))
    hi = Vector(tuple(max(p[i] for p in pts) for i in range(3)))
    centre = (lo + hi) / 2.0
    radius = (hi - lo).length / 2.0
    cam = bpy.data.objects.new("Camera", bpy.data.cameras.new("Camera"))
    cam.data.lens = 50.0
    d = Vector(direction).normalized()
    cam.location = centre + d * radius * 3.2
    cam.rotation_euler = (-d).to_track_quat('-Z', 'Y').to_euler()
    cam.data.clip_end = radius * 10.0
    bpy.context.scene.collection.objects.link(cam)
    bpy.context.scene.camera = cam


def render(path):
    bpy.context.scene.render.filepath = path
    bpy.ops.render.render(write_still=True)


def main():
    args = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.abspath(args[0]) if args else os.path.dirname(os.path.dirname(here))
    out = os.path.abspath(args[1]) if len(args) > 1 else "/tmp/quillfen-previews"
    os.makedirs(out, exist_ok=True)
    for name, (folder, scale) in MODELS.items():
        bpy.ops.wm.read_factory_settings(use_empty=True)
        bpy.ops.import_scene.gltf(filepath=os.path.join(root, "assets", "models", folder, name + ".gltf"))
        holder = bpy.data.objects.new("Placed", None)
        bpy.context.scene.collection.objects.link(holder)
        for obj in list(bpy.context.scene.objects):
            if obj.parent is None and obj is not holder:
                obj.parent = holder
        # The files are z-up, but Blender's importer takes every glTF file
        # as y-up and turns it: our (x, y, z) arrives as (x, -z, y). Undo
        # that on a parent empty, which also applies the game's scale.
        holder.rotation_euler = Euler((math.radians(-90), 0.0, 0.0))
        holder.scale = (scale[0], scale[2], scale[1])
        bpy.context.view_layer.update()
        setup_render(os.path.join(out, name + ".png"))
        meshes = [o for o in bpy.context.scene.objects if o.type == 'MESH']
        frame_camera(meshes, (1.0, -1.5, 0.9))
        render(os.path.join(out, name + ".png"))
        if name == "butterfly":
            joints = {o.name: o for o in meshes}
            # Our local y axis is the imported joint's local z axis.
            joints["LeftJoin"].matrix_basis = joints["LeftJoin"].matrix_basis @ Matrix.Rotation(math.radians(30), 4, 'Z')
            joints["RightJoin"].matrix_basis = joints["RightJoin"].matrix_basis @ Matrix.Rotation(math.radians(-30), 4, 'Z')
            bpy.context.view_layer.update()
            bpy.context.scene.camera.location = Vector((0.0, -4.5, 0.6))
            bpy.context.scene.camera.rotation_euler = Euler((math.radians(85), 0.0, 0.0))
            render(os.path.join(out, "butterfly_flap.png"))
            bpy.context.scene.camera.location = Vector((0.0, 0.0, 5.0))
            bpy.context.scene.camera.rotation_euler = Euler((0.0, 0.0, 0.0))
            joints["LeftJoin"].matrix_basis = joints["LeftJoin"].matrix_basis @ Matrix.Rotation(math.radians(-30), 4, 'Z')
            joints["RightJoin"].matrix_basis = joints["RightJoin"].matrix_basis @ Matrix.Rotation(math.radians(30), 4, 'Z')
            render(os.path.join(out, "butterfly_top.png"))


if __name__ == "__main__":
    main()
