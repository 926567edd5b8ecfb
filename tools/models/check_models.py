#!/usr/bin/env python3
"""Check the exported glTF models against what the game expects of them.

    python3 tools/models/check_models.py [REPO_ROOT]

Reads each .gltf and its .bin directly (standard library only) and checks:
model-space bounds (node transforms applied), triangle budgets, mesh names,
one material per mesh, the butterfly's joint -> wing node tree, that every
mesh that gets a collision shape is a closed solid with outward faces, at
least four non-coplanar points and at most 50 distinct points, material
roughness and colours, and the floor's textures. Prints a table and exits
with status 1 if anything is wrong.
"""

import json
import math
import os
import struct
import sys

# model: (folder, triangle budget)
MODELS = {
    "char": ("dummy", 200),
    "cube": ("dummy", 200),
    "floor": ("dummy", 50),
    "pollen": ("dummy", 80),
    "projectile": ("dummy", 200),
    "raindrop": ("dummy", 48),
    "shroom": ("world", 200),
    "tree": ("world", 300),
    "woods": ("world", 600),
    "butterfly": ("world", 800),
}

# Meshes the physics builds convex shapes from (one per mesh of the model).
COLLISION_MODELS = {"floor", "pollen", "raindrop", "shroom", "tree"}

COMPONENTS = {"SCALAR": 1, "VEC2": 2, "VEC3": 3, "VEC4": 4}
FORMATS = {5121: "B", 5123: "H", 5125: "I", 5126: "f"}

errors = []


def fail(model, message):
    errors.append("%s: %s" % (model, message))


# --- small matrix helpers (4x4, row-major lists) ---------------------------

def mat_mul(a, b):
    return [[sum(a[i][k] * b[k][j] for k in range(4)) for j in range(4)] for i in range(4)]


def node_matrix(node):
    if "matrix" in node:
        m = node["matrix"]                      # column-major
        return [[m[c * 4 + r] for c in range(4)] for r in range(4)]
    tx, ty, tz = node.get("translation", [0.0, 0.0, 0.0])
    x, y, z, w = node.get("rotation", [0.0, 0.0, 0.0, 1.0])
    sx, sy, sz = node.get("scale", [1.0, 1.0, 1.0])
    r = [[1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)],
         [2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)],
         [2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)]]
    return [[r[0][0] * sx, r[0][1] * sy, r[0][2] * sz, tx],
            [r[1][0] * sx, r[1][1] * sy, r[1][2] * sz, ty],
            [r[2][0] * sx, r[2][1] * sy, r[2][2] * sz, tz],
            [0.0, 0.0, 0.0, 1.0]]


def apply(m, p):
    return tuple(m[i][0] * p[0] + m[i][1] * p[1] + m[i][2] * p[2] + m[i][3] for i in range(3))


def sub(a, b):
    return (a[0] - b[0], a[1] - b[1], a[2] - b[2])


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def dot(a, b):
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]


# --- glTF reading -------------------------------------------------------------

def read_accessor(doc, blob, index):
    acc = doc["accessors"][index]
    view = doc["bufferViews"][acc["bufferView"]]
    n = COMPONENTS[acc["type"]]
    fmt = FORMATS[acc["componentType"]]
    size = struct.calcsize(fmt)
    stride = view.get("byteStride", size * n)
    start = view.get("byteOffset", 0) + acc.get("byteOffset", 0)
    out = []
    for i in range(acc["count"]):
        vals = struct.unpack_from("<%d%s" % (n, fmt), blob, start + i * stride)
        out.append(vals if n > 1 else vals[0])
    return out


def load(path):
    with open(path, "r", encoding="utf-8") as f:
        doc = json.load(f)
    folder = os.path.dirname(path)
    blobs = []
    for buf in doc["buffers"]:
        with open(os.path.join(folder, buf["uri"]), "rb") as f:
            blobs.append(f.read())
    return doc, blobs[0]


def walk(doc):
    """Yield (node index, node, parent index, model matrix) depth-first."""
    scene = doc["scenes"][doc.get("scene", 0)]
    identity = [[1.0 if i == j else 0.0 for j in range(4)] for i in range(4)]
    stack = [(n, None, identity) for n in reversed(scene["nodes"])]
    while stack:
        index, parent, above = stack.pop()
        node = doc["nodes"][index]
        m = mat_mul(above, node_matrix(node))
        yield index, node, parent, m
        for child in reversed(node.get("children", [])):
            stack.append((child, index, m))


def png_info(path):
    with open(path, "rb") as f:
        head = f.read(33)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    w, h, depth, ctype = struct.unpack(">IIBB", head[16:26])
    return w, h, depth, ctype


# --- checks ------------------------------------------------------------------

def solid_checks(model, name, points, tris):
    """Closed, outward-facing, at least 4 non-coplanar points, <= 50 distinct
    points (so the 50-vertex convex hull the game cooks is exact)."""
    key = lambda p: tuple(round(c, 5) for c in p)
    ids, welded = {}, []
    for p in points:
        k = key(p)
        if k not in ids:
            ids[k] = len(welded)
            welded.append(p)
    remap = [ids[key(p)] for p in points]
    edges = {}
    volume = 0.0
    for a, b, c in tris:
        a, b, c = remap[a], remap[b], remap[c]
        for e in ((a, b), (b, c), (c, a)):
            edges[e] = edges.get(e, 0) + 1
        volume += dot(welded[a], cross(welded[b], welded[c])) / 6.0
    open_edges = sum(1 for (a, b), n in edges.items() if edges.get((b, a), 0) != n)
    if open_edges:
        fail(model, "%s is not closed (%d unmatched edges)" % (name, open_edges))
    if volume <= 0.0:
        fail(model, "%s has inward faces or no volume (signed volume %g)" % (name, volume))
    if len(welded) > 50:
        fail(model, "%s has %d distinct points, more than a 50-vertex hull" % (name, len(welded)))
    # Non-coplanar: some tetrahedron of the points has a real volume.
    extent = max(max(abs(c) for c in p) for p in welded) or 1.0
    p0 = welded[0]
    p1 = max(welded, key=lambda p: dot(sub(p, p0), sub(p, p0)))
    n = None
    for p in welded:
        c = cross(sub(p1, p0), sub(p, p0))
        if n is None or dot(c, c) > dot(n, n):
            n = c
    depth = max(abs(dot(n, sub(p, p0))) for p in welded) / (math.sqrt(dot(n, n)) or 1.0)
    if depth < 1e-3 * extent:
        fail(model, "%s is flat: fewer than 4 non-coplanar points" % name)
    return len(welded), volume


def check_model(root, model):
    folder, budget = MODELS[model]
    path = os.path.join(root, "assets", "models", folder, model + ".gltf")
    if not os.path.isfile(path):
        fail(model, "missing " + path)
        return None
    doc, blob = load(path)
    if "KHR_draco_mesh_compression" in doc.get("extensionsUsed", []):
        fail(model, "uses Draco compression")
    for img in doc.get("images", []):
        if "uri" not in img or img["uri"].startswith("data:"):
            fail(model, "embedded image")
            continue
        info = png_info(os.path.join(os.path.dirname(path), img["uri"]))
        if info is None:
            fail(model, "texture %s missing or not PNG" % img["uri"])
        elif info[2] != 8 or info[3] != 2 or (info[0] * 3) % 4:
            fail(model, "texture %s is not 8-bit RGB with 4-byte rows" % img["uri"])

    for mat in doc.get("materials", []):
        pbr = mat.get("pbrMetallicRoughness", {})
        rough = pbr.get("roughnessFactor", 1.0)
        if not 0.6 - 1e-6 <= rough <= 0.85 + 1e-6:
            fail(model, "material %s roughness %.3f (shininess %.0f)" % (mat.get("name"), rough, (1 - rough) ** 2 * 1000))
        if "baseColorTexture" not in pbr:
            color = pbr.get("baseColorFactor", [1, 1, 1, 1])
            if max(color[:3]) < 0.3:
                fail(model, "material %s is nearly black" % mat.get("name"))

    names, rows = [], []
    lo, hi = [math.inf] * 3, [-math.inf] * 3
    total = 0
    nodes = {}
    for index, node, parent, m in walk(doc):
        nodes[index] = (node, parent, m)
        if "mesh" not in node:
            continue
        mesh = doc["meshes"][node["mesh"]]
        if len(mesh["primitives"]) != 1:
            fail(model, "mesh %s has %d primitives (Assimp would rename it)" % (mesh["name"], len(mesh["primitives"])))
        prim = mesh["primitives"][0]
        if prim.get("mode", 4) != 4:
            fail(model, "mesh %s is not triangles" % mesh["name"])
        points = [apply(m, p) for p in read_accessor(doc, blob, prim["attributes"]["POSITION"])]
        idx = read_accessor(doc, blob, prim["indices"])
        tris = [tuple(idx[i:i + 3]) for i in range(0, len(idx), 3)]
        for p in points:
            for k in range(3):
                lo[k] = min(lo[k], p[k])
                hi[k] = max(hi[k], p[k])
        total += len(tris)
        names.append(mesh["name"])
        distinct = volume = None
        if model in COLLISION_MODELS:
            distinct, volume = solid_checks(model, mesh["name"], points, tris)
        mlo = [min(p[k] for p in points) for k in range(3)]
        mhi = [max(p[k] for p in points) for k in range(3)]
        rows.append((mesh["name"], len(tris), mlo, mhi, distinct))

    if len(set(names)) != len(names):
        fail(model, "mesh names repeat: %s" % names)
    if len(doc["meshes"]) != len(names):
        fail(model, "%d glTF meshes for %d mesh nodes (shared mesh data?)" % (len(doc["meshes"]), len(names)))
    if total > budget:
        fail(model, "%d triangles, budget %d" % (total, budget))

    eps = 1e-4
    inside = lambda a, b: all(lo[k] >= a[k] - eps and hi[k] <= b[k] + eps for k in range(3))
    if model == "floor":
        if any(abs(lo[k] - v) > eps for k, v in enumerate((-1, -1, -1))) or \
                any(abs(hi[k] - v) > eps for k, v in enumerate((1, 1, 0))):
            fail(model, "bounds must be x, y in [-1, 1], z in [-1, 0]")
        mat = doc["materials"][0]
        if "baseColorTexture" not in mat["pbrMetallicRoughness"]:
            fail(model, "no diffuse texture")
        if "KHR_materials_pbrSpecularGlossiness" not in mat.get("extensions", {}):
            fail(model, "no specular map")
    elif model == "cube":
        if any(abs(lo[k] + 1) > eps or abs(hi[k] - 1) > eps for k in range(3)):
            fail(model, "not the 2 x 2 x 2 cube")
    elif model in ("tree", "shroom"):
        if not inside((-1, -1, -1), (1, 1, 1)) or abs(lo[2] + 1) > eps:
            fail(model, "must lie in [-1, 1]^3 and stand on z = -1")
    elif model == "woods":
        if not inside((-1, -1, -1), (1, 1, 1)):
            fail(model, "must lie in [-1, 1]^3")
    elif model == "pollen":
        size = max(hi[k] - lo[k] for k in range(3))
        if not 1.0 <= size <= 2.0:
            fail(model, "%.2f across, want 1 to 2" % size)
    elif model == "raindrop":
        radius = max(hi[0] - lo[0], hi[1] - lo[1]) / 2.0
        if not 0.2 <= radius <= 0.3:
            fail(model, "radius %.3f, want 0.2 to 0.3" % radius)
        if hi[2] <= -lo[2]:
            fail(model, "does not point upwards")
    elif model == "butterfly":
        if not inside((-50, -50, -50), (50, 50, 50)) or hi[0] - lo[0] < 80:
            fail(model, "wings should span about +-50 on x, inside +-50")
        check_butterfly(doc, nodes, rows)

    if model == "tree" and sorted(names) != ["Crown", "Trunk"]:
        fail(model, "meshes should be Trunk and Crown: %s" % names)
    if model == "shroom" and not {"Stem", "Cap"} <= set(names):
        fail(model, "meshes should include Stem and Cap: %s" % names)
    return path, names, total, lo, hi, rows


def check_butterfly(doc, nodes, rows):
    want = {"LeftJoin": "Left Wing", "RightJoin": "Right Wing"}
    by_mesh = {}
    for index, (node, parent, m) in nodes.items():
        if "mesh" in node:
            by_mesh.setdefault(doc["meshes"][node["mesh"]]["name"], []).append(index)
    for name in list(want) + list(want.values()):
        if len(by_mesh.get(name, [])) != 1:
            fail("butterfly", "mesh %r appears %d times" % (name, len(by_mesh.get(name, []))))
            return
    for joint_name, wing_name in want.items():
        joint = by_mesh[joint_name][0]
        wing = by_mesh[wing_name][0]
        node, parent, m = nodes[wing]
        if parent != joint:
            fail("butterfly", "%s is not a child of %s" % (wing_name, joint_name))
        jnode = nodes[joint][0]
        if any(abs(a - b) > 1e-6 for a, b in zip(jnode.get("rotation", [0, 0, 0, 1]), [0, 0, 0, 1])) \
                or "scale" in jnode or "matrix" in jnode:
            fail("butterfly", "%s must be a pure translation (its local y axis flaps the wing)" % joint_name)
        if any(k in node for k in ("translation", "rotation", "scale", "matrix")):
            fail("butterfly", "%s should sit exactly on its joint" % wing_name)
    bounds = {name: (mlo, mhi) for name, _, mlo, mhi, _ in rows}
    for joint_name, wing_name in want.items():
        jx = nodes[by_mesh[joint_name][0]][2][0][3]
        wlo, whi = bounds[wing_name]
        inner, outer = (whi[0], wlo[0]) if jx < 0 else (wlo[0], whi[0])
        # The wing starts at its joint and reaches outwards, away from the body.
        if abs(inner - jx) > 1.0 or abs(outer) < abs(jx) + 20.0:
            fail("butterfly", "%s does not start at %s and reach outwards" % (wing_name, joint_name))


def main():
    root = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else \
        os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    fmt = lambda v: "(" + ", ".join("%.3f" % c for c in v) + ")"
    for model in MODELS:
        result = check_model(root, model)
        if result is None:
            continue
        path, names, total, lo, hi, rows = result
        print("%-10s %4d tris  min %s  max %s" % (model, total, fmt(lo), fmt(hi)))
        for name, n, mlo, mhi, distinct in rows:
            extra = "" if distinct is None else "  %d hull points" % distinct
            print("    %-18s %4d tris  min %s  max %s%s" % (repr(name), n, fmt(mlo), fmt(mhi), extra))
    if errors:
        print("\nPROBLEMS:")
        for e in errors:
            print("  " + e)
        sys.exit(1)
    print("\nall models OK")


if __name__ == "__main__":
    main()
