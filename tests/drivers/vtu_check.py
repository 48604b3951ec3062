"""Reads a ParaView collection written by `vemto-cli results --vtu` with meshio and
prints one line per data set: time (h), cell type, cells, points, T at point 0, mean of
stress_strength_ratio_max of cell 0 (or -1) and the names of the fields."""
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

import meshio

pvd = Path(sys.argv[1])
for dataset in ET.parse(pvd).getroot().iter("DataSet"):
    mesh = meshio.read(pvd.parent / dataset.get("file"))
    block = mesh.cells[0]
    t0 = mesh.point_data["T"][0] if "T" in mesh.point_data else float("nan")
    ratio = mesh.cell_data.get("stress_strength_ratio_max")
    ratio_max = float(ratio[0][0]) if ratio is not None else -1.0
    fields = sorted(list(mesh.point_data) + list(mesh.cell_data))
    print(dataset.get("timestep"), block.type, len(block.data), len(mesh.points), repr(float(t0)),
          repr(ratio_max), ",".join(fields))
