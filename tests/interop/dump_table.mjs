// Dumps what the independent reader (npm mdb-reader) reads from a database, as JSON, for the
// interop tests to compare with our engine.
//   node dump_table.mjs FILE          -> {"tables": [names of the user tables]}
//   node dump_table.mjs FILE TABLE    -> {"columns": [{"name", "type"}], "rows": [[cell...]]}
// Each cell is [tag, text] (or ["null"]), the text chosen so no precision is lost on the
// way to C++: numbers as JavaScript's shortest round-trip text, dates as milliseconds since
// 1970, binary as hex, and decimals (currency, numeric) exactly as the reader prints them.
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const [file, table] = process.argv.slice(2);
if (!file) {
  process.stderr.write("usage: node dump_table.mjs FILE [TABLE]\n");
  process.exit(2);
}
const reader = new MDBReader(readFileSync(file));

function Cell(type, value) {
  if (value === null || value === undefined) return ["null"];
  switch (type) {
    case "boolean":
      return ["boolean", value ? "1" : "0"];
    case "byte":
    case "integer":
    case "long":
    case "float":
    case "double":
      return [type, String(value)];
    case "datetime":
      return ["datetime", String(value.getTime())];
    case "binary":
    case "ole":
      return [type, Buffer.from(value).toString("hex").toUpperCase()];
    case "currency":
    case "numeric":
    case "repid":
    case "text":
    case "memo":
      return [type, String(value)];
    default:
      return ["unsupported:" + type, String(value)];
  }
}

if (table === undefined) {
  process.stdout.write(JSON.stringify({ tables: reader.getTableNames() }));
} else {
  const t = reader.getTable(table);
  const columns = t.getColumns().map((c) => ({ name: c.name, type: c.type }));
  const rows = t.getData().map((row) => columns.map((c) => Cell(c.type, row[c.name])));
  process.stdout.write(JSON.stringify({ columns, rows }));
}
