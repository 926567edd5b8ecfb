"""Build Quillfen's ten 3D models and export them as glTF 2.0.

Run headless from the repository root:

    blender -b --factory-startup -P tools/models/build_models.py -- [REPO_ROOT] [MODEL ...]

REPO_ROOT defaults to the repository that holds this script. MODEL names
(char, cube, floor, pollen, projectile, raindrop, shroom, tree, woods,
butterfly) limit the build to those models; without them all ten are built.
Each model is written as NAME.gltf + NAME.bin (+ PNG textures) under
assets/models/dummy/ or assets/models/world/.

Everything is made from code: meshes are plain vertex/triangle lists, the
floor texture is seeded value noise written as PNG by this script. Nothing
random is left unseeded, so two runs give byte-identical files.

World conventions (see tools/models/README.md): z is up, the exporter is run
with export_yup=False so the coordinates are stored exactly as built here.
Models that the game scales non-uniformly (tree, shroom, woods) are designed
in world units and divided by the game's scale at the end, so they keep
their intended proportions in the world.
"""

import json
import math
import os
import random
import struct
import sys
import tempfile
import zlib

import bpy
import numpy as np
from mathutils import Matrix, Vector
from mathutils.geometry import tessellate_polygon

TAU = 2.0 * math.pi


# ---------------------------------------------------------------------------
# Geometry: a list of vertices and triangles, built by small helpers.
# Triangles are counter-clockwise seen from outside (outward normals).
# ---------------------------------------------------------------------------

class Geo:
    def __init__(self):
        self.verts = []   # list of Vector
        self.tris = []    # list of (i, j, k)

    def vert(self, co):
        self.verts.append(Vector(co))
        return len(self.verts) - 1

    def tri(self, a, b, c):
        self.tris.append((a, b, c))

    def quad(self, a, b, c, d):
        self.tris.append((a, b, c))
        self.tris.append((a, c, d))

    def fan(self, ring, centre, reverse=False):
        """Close a ring of vertex indices with a fan around vertex `centre`.
        The ring runs counter-clockwise seen from the side the fan faces,
        unless `reverse` is set."""
        n = len(ring)
        for j in range(n):
            a, b = ring[j], ring[(j + 1) % n]
            if reverse:
                self.tri(centre, b, a)
            else:
                self.tri(centre, a, b)

    def extend(self, other):
        base = len(self.verts)
        self.verts.extend(v.copy() for v in other.verts)
        self.tris.extend((a + base, b + base, c + base) for a, b, c in other.tris)
        return self

    def transform(self, matrix):
        for i, v in enumerate(self.verts):
            self.verts[i] = matrix @ v
        if matrix.to_3x3().determinant() < 0.0:
            self.tris = [(a, c, b) for a, b, c in self.tris]
        return self

    def map(self, fn):
        for i, v in enumerate(self.verts):
            self.verts[i] = Vector(fn(v))
        return self


def lathe(profile, segments, phase=0.0, jitter=None, droop=None, cap_bottom=True, cap_top=True):
    """Surface of revolution about +z.

    profile: list of (radius, height) from bottom to top. A radius of 0 at
    either end makes a pole; a ring at an end with radius > 0 is closed by a
    flat fan when the matching cap_* flag is set, otherwise left open.
    jitter: optional callable (ring, seg) -> radial factor.
    droop: optional callable (ring, seg) -> height offset.
    """
    g = Geo()
    rings = []
    for ri, (r, h) in enumerate(profile):
        if r == 0.0:
            rings.append(g.vert((0.0, 0.0, h)))
            continue
        ring = []
        for s in range(segments):
            a = phase + TAU * s / segments
            rr = r * (jitter(ri, s) if jitter else 1.0)
            hh = h + (droop(ri, s) if droop else 0.0)
            ring.append(g.vert((rr * math.cos(a), rr * math.sin(a), hh)))
        rings.append(ring)
    for lo, hi in zip(rings, rings[1:]):
        if isinstance(lo, int):
            g.fan(hi, lo, reverse=True)          # bottom pole, faces down
        elif isinstance(hi, int):
            g.fan(lo, hi)                        # top pole, faces up
        else:
            n = len(lo)
            for s in range(n):
                g.quad(lo[s], lo[(s + 1) % n], hi[(s + 1) % n], hi[s])
    first, last = rings[0], rings[-1]
    if not isinstance(first, int) and cap_bottom:
        c = g.vert((0.0, 0.0, profile[0][1]))
        g.fan(first, c, reverse=True)
    if not isinstance(last, int) and cap_top:
        c = g.vert((0.0, 0.0, profile[-1][1]))
        g.fan(last, c)
    return g


def box(lo, hi):
    """Axis-aligned box from corner lo to corner hi, 12 triangles."""
    g = Geo()
    x0, y0, z0 = lo
    x1, y1, z1 = hi
    v = [g.vert((x, y, z)) for z in (z0, z1) for y in (y0, y1) for x in (x0, x1)]
    # v index = x + 2*y + 4*z
    g.quad(v[0], v[2], v[3], v[1])   # bottom (-z)
    g.quad(v[4], v[5], v[7], v[6])   # top (+z)
    g.quad(v[0], v[1], v[5], v[4])   # -y
    g.quad(v[2], v[6], v[7], v[3])   # +y
    g.quad(v[0], v[4], v[6], v[2])   # -x
    g.quad(v[1], v[3], v[7], v[5])   # +x
    return g


_ICO_FACES = [
    (0, 11, 5), (0, 5, 1), (0, 1, 7), (0, 7, 10), (0, 10, 11),
    (1, 5, 9), (5, 11, 4), (11, 10, 2), (10, 7, 6), (7, 1, 8),
    (3, 9, 4), (3, 4, 2), (3, 2, 6), (3, 6, 8), (3, 8, 9),
    (4, 9, 5), (2, 4, 11), (6, 2, 10), (8, 6, 7), (9, 8, 1),
]


def icosphere(radius, subdivisions=0):
    """Unit icosahedron (20 triangles), optionally subdivided (x4 each)."""
    t = (1.0 + math.sqrt(5.0)) / 2.0
    pts = [(-1, t, 0), (1, t, 0), (-1, -t, 0), (1, -t, 0),
           (0, -1, t), (0, 1, t), (0, -1, -t), (0, 1, -t),
           (t, 0, -1), (t, 0, 1), (-t, 0, -1), (-t, 0, 1)]
    verts = [Vector(p).normalized() for p in pts]
    faces = list(_ICO_FACES)
    for _ in range(subdivisions):
        cache = {}

        def mid(a, b):
            key = (min(a, b), max(a, b))
            if key not in cache:
                verts.append(((verts[a] + verts[b]) * 0.5).normalized())
                cache[key] = len(verts) - 1
            return cache[key]

        new_faces = []
        for a, b, c in faces:
            ab, bc, ca = mid(a, b), mid(b, c), mid(c, a)
            new_faces += [(a, ab, ca), (b, bc, ab), (c, ca, bc), (ab, bc, ca)]
        faces = new_faces
    g = Geo()
    for v in verts:
        g.vert(v * radius)
    g.tris = faces
    return g


def slab(outline, thickness):
    """Extrude a simple polygon in the xy plane (any winding, may be concave)
    into a solid of the given thickness centred on z = 0."""
    pts = [Vector((x, y, 0.0)) for x, y in outline]
    area = sum(pts[i].x * pts[(i + 1) % len(pts)].y - pts[(i + 1) % len(pts)].x * pts[i].y
               for i in range(len(pts)))
    if area < 0.0:
        pts.reverse()                     # counter-clockwise seen from +z
    n = len(pts)
    h = thickness / 2.0
    g = Geo()
    top = [g.vert((p.x, p.y, h)) for p in pts]
    bot = [g.vert((p.x, p.y, -h)) for p in pts]
    for a, b, c in tessellate_polygon([pts]):
        # tessellate_polygon's winding is not guaranteed: orient each
        # triangle by its own normal.
        if (pts[b] - pts[a]).cross(pts[c] - pts[a]).z < 0.0:
            b, c = c, b
        g.tri(top[a], top[b], top[c])
        g.tri(bot[a], bot[c], bot[b])
    for i in range(n):
        j = (i + 1) % n
        g.quad(bot[i], bot[j], top[j], top[i])
    return g


# ---------------------------------------------------------------------------
# Blender scene: objects, materials, textures, export
# ---------------------------------------------------------------------------

# The glTF exporter caches meshes and materials by the id() of their Python
# wrappers. A wrapper that is freed can have its id reused by the next one,
# which makes the exporter write one mesh for two different objects. Keeping
# every datablock referenced until the export is done keeps the ids unique.
_KEEP = []


def reset_scene():
    _KEEP.clear()
    bpy.ops.wm.read_factory_settings(use_empty=True)


def make_material(name, color, roughness=0.8, emission=None):
    """Flat-coloured material. Colours are the values the game shades with
    (the exporter writes them unchanged as baseColorFactor). The game's
    importer turns roughness r into shininess (1 - r)^2 * 1000."""
    mat = bpy.data.materials.new(name)
    mat.use_nodes = True
    bsdf = mat.node_tree.nodes["Principled BSDF"]
    bsdf.inputs["Base Color"].default_value = (*color, 1.0)
    bsdf.inputs["Metallic"].default_value = 0.0
    bsdf.inputs["Roughness"].default_value = roughness
    if emission is not None:
        bsdf.inputs["Emission"].default_value = (*emission, 1.0)
        bsdf.inputs["Emission Strength"].default_value = 1.0
    mat.diffuse_color = (*color, 1.0)     # workbench / viewport colour
    mat.use_backface_culling = True       # closed meshes: not "doubleSided"
    mat.roughness = roughness
    _KEEP.append(mat)
    return mat


def make_object(name, geo, material, smooth=False, uv=None, parent=None, location=(0.0, 0.0, 0.0)):
    """One object with its own mesh datablock; object and mesh share the name.
    uv: optional callable (vertex position, face normal) -> (u, v)."""
    mesh = bpy.data.meshes.new(name)
    mesh.from_pydata([tuple(v) for v in geo.verts], [], [tuple(t) for t in geo.tris])
    mesh.update(calc_edges=True)
    for poly in mesh.polygons:
        poly.use_smooth = smooth
    if uv is not None:
        layer = mesh.uv_layers.new(name="UVMap")
        for poly in mesh.polygons:
            for li in poly.loop_indices:
                co = mesh.vertices[mesh.loops[li].vertex_index].co
                layer.data[li].uv = uv(co, poly.normal)
    mesh.materials.append(material)
    obj = bpy.data.objects.new(name, mesh)
    bpy.context.scene.collection.objects.link(obj)
    if parent is not None:
        obj.parent = parent
        obj.matrix_parent_inverse = Matrix.Identity(4)
    obj.location = location
    _KEEP.extend((mesh, obj))
    return obj


def export(path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    bpy.ops.export_scene.gltf(
        filepath=path,
        check_existing=False,
        export_format='GLTF_SEPARATE',
        export_texture_dir="",
        export_image_format='AUTO',
        export_yup=False,
        export_apply=False,
        export_draco_mesh_compression_enable=False,
        export_materials='EXPORT',
        export_texcoords=True,
        export_normals=True,
        export_tangents=False,
        export_colors=False,
        export_cameras=False,
        export_lights=False,
        export_extras=False,
        export_animations=False,
        export_skins=False,
        export_morph=False,
        use_selection=False,
        use_visible=False,
        use_renderable=False,
        use_active_collection=False,
        export_copyright="",
    )


# ---------------------------------------------------------------------------
# Textures: seeded, tileable value noise, written as 8-bit RGB PNG.
# Only +, -, *, / and comparisons are used on floats, so the pixels do not
# depend on the maths library.
# ---------------------------------------------------------------------------

def value_noise(size, period, rng):
    """Tileable value noise in [0, 1]: a period x period grid of random
    values, smoothly interpolated over size x size pixels."""
    grid = np.array([[rng.random() for _ in range(period)] for _ in range(period)])
    t = np.arange(size) * (period / size)
    i0 = np.floor(t).astype(int)
    f = t - i0
    s = f * f * (3.0 - 2.0 * f)
    i0 %= period
    i1 = (i0 + 1) % period
    rows0 = grid[i0][:, i0] * (1.0 - s)[None, :] + grid[i0][:, i1] * s[None, :]
    rows1 = grid[i1][:, i0] * (1.0 - s)[None, :] + grid[i1][:, i1] * s[None, :]
    return rows0 * (1.0 - s)[:, None] + rows1 * s[:, None]


def fbm(size, periods, rng):
    total = np.zeros((size, size))
    weight, weights = 1.0, 0.0
    for p in periods:
        total += value_noise(size, p, rng) * weight
        weights += weight
        weight *= 0.5
    return total / weights


def write_png(path, pixels):
    """pixels: (height, width, 3) array of floats in [0, 1]; first row is
    the top of the image."""
    h, w, _ = pixels.shape
    data = np.clip(np.floor(pixels * 255.0 + 0.5), 0, 255).astype(np.uint8)
    raw = b"".join(b"\x00" + data[y].tobytes() for y in range(h))

    def chunk(tag, body):
        return (struct.pack(">I", len(body)) + tag + body
                + struct.pack(">I", zlib.crc32(tag + body) & 0xFFFFFFFF))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def lerp3(a, b, t):
    a = np.array(a)[None, None, :]
    b = np.array(b)[None, None, :]
    return a + (b - a) * t[:, :, None]


def floor_textures(size=256, seed=1201):
    """Moss, grass and earth ground, and a matching specular map (wet earth
    shines more than moss). Both tile seamlessly."""
    rng = random.Random(seed)
    moss = fbm(size, [8, 16, 32, 64], rng)
    patches = fbm(size, [4, 8, 16], rng)
    grain = fbm(size, [32, 64, 128], rng)
    blades = np.array([[rng.random() for _ in range(size)] for _ in range(size)])

    # Earth where the low-frequency noise is high, with soft edges.
    earth = np.clip((patches - 0.56) * 7.0, 0.0, 1.0)
    # Short grass blades: bright pixels stretched two pixels upwards.
    blade = (blades > 0.955).astype(float)
    blade = np.maximum(blade, np.roll(blade, -1, axis=0) * 0.8)
    blade = np.maximum(blade, np.roll(blade, -2, axis=0) * 0.6)
    blade *= (1.0 - earth)

    green = lerp3((0.22, 0.40, 0.15), (0.44, 0.60, 0.22), moss)
    soil = lerp3((0.36, 0.25, 0.14), (0.52, 0.38, 0.22), grain)
    color = green * (1.0 - earth)[:, :, None] + soil * earth[:, :, None]
    color = color * (0.85 + 0.3 * grain)[:, :, None]
    color = color * (1.0 - blade)[:, :, None] + lerp3((0.55, 0.74, 0.30), (0.66, 0.82, 0.36), grain) * blade[:, :, None]

    specular = 0.12 + 0.38 * earth + 0.12 * grain * (1.0 - earth) + 0.2 * blade
    specular = np.repeat(specular[:, :, None], 3, axis=2)
    return color, specular


# ---------------------------------------------------------------------------
# Models
# ---------------------------------------------------------------------------

def scale_to_model(scale, floor_offset):
    """Matrix from world-sized design coordinates (height measured from the
    floor) to model space for an object the game scales by `scale` and
    places `floor_offset` above the floor."""
    sx, sy, sz = scale
    return (Matrix.Diagonal((1.0 / sx, 1.0 / sy, 1.0 / sz, 1.0))
            @ Matrix.Translation((0.0, 0.0, -floor_offset)))


def build_cube():
    make_object("Cube", box((-1, -1, -1), (1, 1, 1)),
                make_material("Cube", (0.62, 0.68, 0.80), 0.8))


def build_projectile():
    # Capsule along +x: radius 0.15, 0.8 long.
    r = 0.15
    prof = [(0.0, -0.40), (r * 0.707, -0.40 + r * 0.293), (r, -0.25),
            (r, 0.25), (r * 0.707, 0.40 - r * 0.293), (0.0, 0.40)]
    g = lathe(prof, 8)
    g.transform(Matrix.Rotation(math.pi / 2.0, 4, 'Y'))   # +z axis -> +x axis
    make_object("Projectile", g, make_material("Projectile", (0.95, 0.45, 0.18), 0.75),
                smooth=True)


def build_char():
    # A simple standing figure, z from -1 (feet) to 1 (top of the head).
    body = Geo()
    body.extend(box((-0.26, -0.10, -1.00), (-0.04, 0.10, -0.22)))   # legs
    body.extend(box((0.04, -0.10, -1.00), (0.26, 0.10, -0.22)))
    body.extend(box((-0.30, -0.14, -0.24), (0.30, 0.14, 0.48)))     # torso
    body.extend(box((-0.44, -0.09, -0.16), (-0.31, 0.09, 0.44)))    # arms
    body.extend(box((0.31, -0.09, -0.16), (0.44, 0.09, 0.44)))
    make_object("Char Body", body, make_material("Char Body", (0.30, 0.45, 0.78), 0.8))
    head = icosphere(0.25, 1).transform(Matrix.Translation((0.0, 0.0, 0.75)))
    make_object("Char Head", head, make_material("Char Head", (0.95, 0.78, 0.62), 0.8),
                smooth=True)


def build_pollen():
    # A spiky pollen grain about 1.7 units across: an icosahedron whose
    # faces are raised into short spikes.
    core = icosphere(0.5, 0)
    g = Geo()
    for v in core.verts:
        g.vert(v)
    for a, b, c in core.tris:
        centre = (core.verts[a] + core.verts[b] + core.verts[c]) / 3.0
        tip = g.vert(centre.normalized() * 0.85)
        g.tri(a, b, tip)
        g.tri(b, c, tip)
        g.tri(c, a, tip)
    yellow = (1.0, 0.86, 0.22)
    make_object("Pollen", g, make_material("Pollen", yellow, 0.7, emission=yellow))


def build_raindrop():
    # Radius 0.25, round bottom, point upwards; 48 triangles.
    prof = [(0.0, -0.25), (0.19, -0.19), (0.25, -0.03), (0.16, 0.16), (0.0, 0.42)]
    g = lathe(prof, 8)
    make_object("Raindrop", g, make_material("Raindrop", (0.35, 0.60, 1.00), 0.65),
                smooth=True)


def build_floor():
    # Top face at z = 0, a slab down to z = -1, x and y in [-1, 1].
    # The game stretches it to 200 x 225: 16 x 18 texture repeats make
    # each repeat 12.5 x 12.5 world units.
    g = box((-1, -1, -1), (1, 1, 0))
    rep_x, rep_y = 16.0, 18.0

    def uv(co, n):
        if abs(n.z) > 0.5:
            return ((co.x + 1.0) * rep_x / 2.0, (co.y + 1.0) * rep_y / 2.0)
        if abs(n.x) > 0.5:
            return ((co.y + 1.0) * rep_y / 2.0, co.z + 1.0)
        return ((co.x + 1.0) * rep_x / 2.0, co.z + 1.0)

    mat = make_material("Floor", (1.0, 1.0, 1.0), 0.8)
    tex = mat.node_tree.nodes.new("ShaderNodeTexImage")
    tex.image = bpy.data.images.load(os.path.join(_TEXTURE_DIR, "floor_moss.png"))
    tex.interpolation = 'Linear'
    tex.extension = 'REPEAT'
    _KEEP.append(tex.image)
    bsdf = mat.node_tree.nodes["Principled BSDF"]
    mat.node_tree.links.new(tex.outputs["Color"], bsdf.inputs["Base Color"])
    mat.diffuse_color = (0.35, 0.50, 0.20, 1.0)
    make_object("Floor", g, mat, uv=uv)


def add_floor_specular(gltf_path):
    """Give the floor material a specular map.

    Assimp 5.2 reads a material's specular texture from glTF only through
    the KHR_materials_pbrSpecularGlossiness extension, which Blender does
    not write, so it is added to the exported file here. glossinessFactor
    is chosen so that the shininess Assimp derives from it (x 1000) equals
    the one it derives from the roughness, (1 - r)^2 x 1000.
    """
    with open(gltf_path, "r", encoding="utf-8") as f:
        doc = json.load(f)
    image_index = len(doc["images"])
    doc["images"].append({"mimeType": "image/png", "name": "floor_specular",
                          "uri": "floor_specular.png"})
    texture_index = len(doc["textures"])
    doc["textures"].append(dict(doc["textures"][0], source=image_index))
    mat = doc["materials"][0]
    roughness = mat["pbrMetallicRoughness"].get("roughnessFactor", 1.0)
    mat.setdefault("extensions", {})["KHR_materials_pbrSpecularGlossiness"] = {
        "diffuseTexture": dict(mat["pbrMetallicRoughness"]["baseColorTexture"]),
        "specularFactor": [1.0, 1.0, 1.0],
        "glossinessFactor": round((1.0 - roughness) ** 2, 6),
        "specularGlossinessTexture": {"index": texture_index},
    }
    used = doc.setdefault("extensionsUsed", [])
    if "KHR_materials_pbrSpecularGlossiness" not in used:
        used.append("KHR_materials_pbrSpecularGlossiness")
    # The exporter's own layout: 4-space indent, " : " after keys, a
    # trailing newline-free document.
    text = json.dumps(doc, indent=4, separators=(",", " : "), allow_nan=False)
    with open(gltf_path, "w", encoding="utf-8") as f:
        f.write(text)


def build_tree():
    # Designed in world units: the game scales the tree by (15, 15, 30) and
    # centres it 30 above the floor, so it stands 60 high and at most 30
    # wide. The crown starts 16.5 above the floor: the player can fly
    # between the trunks under it.
    rng = random.Random(606)
    to_model = scale_to_model((15.0, 15.0, 30.0), 30.0)

    trunk = lathe([(0.0, 0.0), (2.8, 0.0), (1.8, 3.0), (1.5, 14.0), (1.1, 36.0), (0.0, 36.0)], 8)
    trunk.transform(to_model)
    make_object("Trunk", trunk, make_material("Bark", (0.50, 0.32, 0.18), 0.85))

    crown = Geo()
    tiers = [(18.0, 14.0, 38.0), (29.0, 11.0, 49.0), (40.0, 7.5, 60.0)]   # base height, radius, apex
    for k, (base, radius, apex) in enumerate(tiers):
        wobble = [1.0 - 0.06 * rng.random() for _ in range(12)]
        cone = lathe([(0.0, base), (radius, base), (0.0, apex)], 12,
                     phase=(k % 2) * TAU / 24.0,
                     jitter=lambda ri, s: wobble[s],
                     droop=lambda ri, s: -1.5 if (ri == 1 and s % 2 == 0) else 0.0)
        crown.extend(cone)
    crown.transform(to_model)
    make_object("Crown", crown, make_material("Leaves", (0.22, 0.56, 0.24), 0.8))


def build_shroom():
    # Designed in world units: scale (10/3, 10/3, 10.5), centred 10 above
    # the floor, so 6.7 wide and 21 high, from 0.5 below the floor.
    to_model = scale_to_model((10.0 / 3.0, 10.0 / 3.0, 10.5), 10.0)

    stem = lathe([(0.0, -0.5), (1.6, -0.5), (1.3, 4.0), (1.1, 10.0), (1.2, 16.2), (0.0, 16.2)], 8)
    stem.transform(to_model)
    make_object("Stem", stem, make_material("Stem", (0.93, 0.88, 0.74), 0.85))

    cap_prof = [(0.0, 15.6), (3.1, 14.8), (3.33, 15.8), (2.95, 17.8), (1.9, 19.2), (0.0, 19.9)]
    cap = lathe(cap_prof, 10)
    cap.transform(to_model)
    make_object("Cap", cap, make_material("Cap", (0.86, 0.16, 0.12), 0.7), smooth=True)

    # White spots: flat pentagonal studs sitting on the smooth outline of
    # the cap (the faceted cap lies inside it, so they stay visible). The
    # top stud reaches 20.22, inside the model's z <= 1 (20.5).
    upper = cap_prof[2:]          # rim to top, outer surface

    def surface(t, angle):
        """Point and outward normal on the cap's surface of revolution;
        t in [0, 1] runs from the rim to the top."""
        x = t * (len(upper) - 1)
        i = min(int(x), len(upper) - 2)
        f = x - i
        (r0, h0), (r1, h1) = upper[i], upper[i + 1]
        r, h = r0 + (r1 - r0) * f, h0 + (h1 - h0) * f
        dr, dh = r1 - r0, h1 - h0
        radial = Vector((math.cos(angle), math.sin(angle), 0.0))
        point = radial * r + Vector((0.0, 0.0, h))
        normal = (radial * dh + Vector((0.0, 0.0, -dr))).normalized()
        return point, normal

    spots = Geo()
    places = [(0.42, 15.0), (0.46, 87.0), (0.40, 160.0), (0.47, 232.0), (0.42, 303.0), (1.0, 0.0)]
    for t, deg in places:
        if t >= 1.0:
            point, normal = Vector((0.0, 0.0, cap_prof[-1][1])), Vector((0.0, 0.0, 1.0))
        else:
            point, normal = surface(t, math.radians(deg))
        size = 0.62 if t < 1.0 else 0.75
        t1 = normal.cross(Vector((0.0, 0.0, 1.0)))
        if t1.length < 1e-6:
            t1 = Vector((1.0, 0.0, 0.0))
        t1.normalize()
        t2 = normal.cross(t1)         # t1 x t2 = normal: the ring runs counter-clockwise seen from outside
        ring = []
        for s in range(5):
            a = TAU * s / 5.0
            ring.append(spots.vert(point + normal * 0.12 + (t1 * math.cos(a) + t2 * math.sin(a)) * size))
        apex = spots.vert(point + normal * 0.32)
        spots.fan(ring, apex)                   # top, facing out
        spots.tri(ring[0], ring[2], ring[1])    # base, facing the cap
        spots.tri(ring[0], ring[3], ring[2])
        spots.tri(ring[0], ring[4], ring[3])
    spots.transform(to_model)
    make_object("Spots", spots, make_material("Spots", (0.97, 0.95, 0.90), 0.8))


def build_woods():
    # A dense wall of forest, designed in world units: the game scales the
    # model by (50, 37.5, 37.5) and centres it half-way up the tunnel, so it
    # covers 100 x 75 and stands from the floor to the ceiling (75).
    rng = random.Random(8080)
    to_model = scale_to_model((50.0, 37.5, 37.5), 37.5)
    trunks, firs_dark, firs_light, leaves = Geo(), Geo(), Geo(), Geo()

    def prism(x, y, r, h0, h1):
        # 4-sided trunk without caps: its ends are in the floor and the crown.
        return lathe([(r, h0), (r * 0.7, h1)], 4, phase=rng.random() * TAU,
                     cap_bottom=False, cap_top=False).transform(Matrix.Translation((x, y, 0.0)))

    cols, rows = 8, 3
    cell_x, cell_y = 100.0 / cols, 75.0 / rows
    cells = [(c, r) for r in range(rows) for c in range(cols)]
    round_cells = set(rng.sample(range(len(cells)), 6))
    skip = set(rng.sample(sorted(set(range(len(cells))) - round_cells), 2))
    for idx, (c, r) in enumerate(cells):
        if idx in skip:
            continue
        x = -50.0 + (c + 0.5) * cell_x + (rng.random() - 0.5) * cell_x * 0.5
        y = -37.5 + (r + 0.5) * cell_y + (rng.random() - 0.5) * cell_y * 0.4
        if idx in round_cells:
            radius = 10.0 + 3.0 * rng.random()
            centre = 20.0 + 12.0 * rng.random()
            x = max(-50.0 + radius, min(50.0 - radius, x))
            y = max(-37.5 + radius, min(37.5 - radius, y))
            trunks.extend(prism(x, y, 1.4, 0.0, centre))
            ball = icosphere(1.0, 0).transform(
                Matrix.Translation((x, y, centre)) @ Matrix.Diagonal((radius, radius, radius * 1.15, 1.0)))
            leaves.extend(ball)
        else:
            height = 50.0 + 24.0 * rng.random()
            radius = 8.0 + 3.0 * rng.random()
            x = max(-50.0 + radius, min(50.0 - radius, x))
            y = max(-37.5 + radius, min(37.5 - radius, y))
            low_base = height * 0.12
            low_apex = height * 0.68
            high_base = height * 0.42
            trunks.extend(prism(x, y, 1.2, 0.0, low_base + 1.0))
            phase = rng.random() * TAU
            lower = lathe([(0.0, low_base), (radius, low_base), (0.0, low_apex)], 6, phase=phase)
            # The upper cone's base lies inside the lower cone: no cap needed.
            upper = lathe([(radius * 0.62, high_base), (0.0, height)], 6,
                          phase=phase + TAU / 12.0, cap_bottom=False)
            tree = Geo().extend(lower).extend(upper).transform(Matrix.Translation((x, y, 0.0)))
            (firs_dark if rng.random() < 0.55 else firs_light).extend(tree)

    for name, geo, color, rough in (
            ("Woods Trunks", trunks, (0.45, 0.30, 0.18), 0.85),
            ("Woods Firs Dark", firs_dark, (0.16, 0.42, 0.22), 0.8),
            ("Woods Firs Light", firs_light, (0.27, 0.52, 0.21), 0.8),
            ("Woods Leaves", leaves, (0.38, 0.60, 0.22), 0.8)):
        make_object(name, geo.transform(to_model), make_material(name, color, rough))


def build_butterfly():
    # The player, about +-50 units (the game scales it by 0.02). Forward is
    # +y, up is +z, wings along +-x. Node tree:
    #   Body -> LeftJoin -> Left Wing
    #        -> RightJoin -> Right Wing
    # Each joint node sits at its wing's root; the wing's vertices are in
    # the joint's space, so turning a joint about its local y axis flaps
    # its wing.
    body = lathe([(0.0, -36.0), (2.2, -33.0), (3.6, -26.0), (4.2, -16.0), (4.0, -7.0),
                  (4.6, -3.0), (5.6, 2.0), (5.0, 8.0), (3.6, 11.0), (4.2, 13.0),
                  (5.2, 16.5), (4.4, 20.0), (2.4, 22.5), (0.0, 23.5)], 8)
    body.transform(Matrix.Rotation(-math.pi / 2.0, 4, 'X'))   # +z axis -> +y axis
    for side in (-1.0, 1.0):
        root = Vector((side * 1.8, 19.0, 3.0))
        tip = Vector((side * 9.0, 41.0, 13.0))
        stalk = lathe([(0.6, 0.0), (0.45, (tip - root).length)], 4, cap_bottom=False, cap_top=False)
        stalk.transform(Matrix.Translation(root) @ (tip - root).to_track_quat('Z', 'Y').to_matrix().to_4x4())
        body.extend(stalk)
        knob = icosphere(1.0, 0).transform(
            Matrix.Translation(tip) @ Matrix.Diagonal((1.4, 1.8, 1.4, 1.0)))
        body.extend(knob)
    body_obj = make_object("Body", body, make_material("Body", (0.36, 0.22, 0.44), 0.8), smooth=True)

    # Right wing outline in its joint's space (x >= 0); the left wing is its
    # mirror image. Forewing in front (+y), hindwing behind.
    outline = [(0.5, 5.0), (8.0, 16.0), (18.0, 26.0), (30.0, 33.0), (40.0, 35.0), (45.5, 30.0),
               (45.0, 22.0), (40.0, 13.0), (31.0, 6.0), (24.0, 2.0), (29.0, -4.0), (31.0, -13.0),
               (28.0, -23.0), (21.0, -31.0), (13.0, -34.0), (7.0, -30.0), (3.0, -20.0), (0.5, -8.0)]
    joint_at = Vector((4.5, 1.0, 2.5))
    wing_mat = make_material("Wing", (1.0, 0.55, 0.12), 0.75)
    joint_mat = make_material("Joint", (0.55, 0.34, 0.62), 0.8)
    for side, prefix in ((-1.0, "Left"), (1.0, "Right")):
        # The shoulder ball bulges a little outwards, so the two joints are
        # mirror images rather than equal meshes (importers that merge
        # equal meshes would otherwise fold them into one).
        ball = lathe([(0.0, -2.6), (1.84, -1.84), (2.6, 0.0), (1.84, 1.84), (0.0, 2.6)], 6)
        ball.transform(Matrix.Translation((side * 0.6, 0.0, 0.0)) @ Matrix.Rotation(math.pi / 2.0, 4, 'Y'))
        joint = make_object(prefix + "Join", ball, joint_mat, smooth=True, parent=body_obj,
                            location=(side * joint_at.x, joint_at.y, joint_at.z))
        wing = slab([(side * x, y) for x, y in outline], 1.2)
        make_object(prefix + " Wing", wing, wing_mat, parent=joint)


MODELS = {
    "char": ("dummy", build_char),
    "cube": ("dummy", build_cube),
    "floor": ("dummy", build_floor),
    "pollen": ("dummy", build_pollen),
    "projectile": ("dummy", build_projectile),
    "raindrop": ("dummy", build_raindrop),
    "shroom": ("world", build_shroom),
    "tree": ("world", build_tree),
    "woods": ("world", build_woods),
    "butterfly": ("world", build_butterfly),
}

_TEXTURE_DIR = None


def main():
    global _TEXTURE_DIR
    args = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.abspath(args[0]) if args else os.path.dirname(os.path.dirname(here))
    names = args[1:] or list(MODELS)
    unknown = [n for n in names if n not in MODELS]
    if unknown:
        raise SystemExit("unknown model(s): " + ", ".join(unknown))

    with tempfile.TemporaryDirectory() as tmp:
        _TEXTURE_DIR = tmp
        color, specular = floor_textures()
        write_png(os.path.join(tmp, "floor_moss.png"), color)
        for name in names:
            folder, build = MODELS[name]
            out_dir = os.path.join(root, "assets", "models", folder)
            path = os.path.join(out_dir, name + ".gltf")
            reset_scene()
            build()
            export(path)
            if name == "floor":
                write_png(os.path.join(out_dir, "floor_specular.png"), specular)
                add_floor_specular(path)
            print("built", os.path.relpath(path, root))
        _KEEP.clear()


if __name__ == "__main__":
    main()
