// The 16 x 8 key matrix as an ARIA grid: one tab stop, arrow keys move,
// Enter edits the key. Each cell shows the desktop's picture of its state
// (which one the core says; the strip is the desktop's own drawing) and its
// legend.
import type { Cell } from "./core";

export const ROWS = 16;
export const COLUMNS = 8;

export class Matrix {
  private cells: HTMLElement[] = [];
  private active = 0;

  constructor(
    grid: HTMLElement,
    private onSelect: (row: number, column: number) => void,
    private onEdit: () => void,
  ) {
    grid.setAttribute("role", "grid");
    grid.setAttribute("aria-label", "Key matrix");
    for (let r = 0; r < ROWS; ++r) {
      const row = document.createElement("div");
      row.setAttribute("role", "row");
      for (let c = 0; c < COLUMNS; ++c) {
        const cell = document.createElement("div");
        cell.setAttribute("role", "gridcell");
        cell.tabIndex = r === 0 && c === 0 ? 0 : -1;
        const legend = document.createElement("span");
        legend.className = "legend";
        cell.append(pictureElement(), legend);
        const index = r * COLUMNS + c;
        cell.addEventListener("click", () => this.focus(index));
        cell.addEventListener("keydown", (e) => this.key(e, index));
        row.append(cell);
        this.cells.push(cell);
      }
      grid.append(row);
    }
  }

  render(cells: Cell[], tooltip: (row: number, column: number) => string): void {
    this.cells.forEach((cell, index) => {
      const row = Math.floor(index / COLUMNS);
      const column = index % COLUMNS;
      const key = cells[index];
      const legend = key.legend;
      cell.setAttribute("aria-label", `Row ${row}, column ${column}: ${legend}`);
      (cell.lastChild as HTMLElement).textContent = legend;
      cell.className = !key?.used ? "cell unused" : key.enabled ? "cell used" : "cell disabled";
      cell.title = tooltip(row, column);
      cell.setAttribute("aria-selected", String(index === this.active));
    });
    this.showPictures(cells);
  }

  // The pictures alone, as the editing state changes them.
  showPictures(cells: Cell[]): void {
    this.cells.forEach((cell, index) => showPicture(cell.firstChild as HTMLElement, cells[index].picture));
  }

  private focus(index: number): void {
    this.cells[this.active].tabIndex = -1;
    this.cells[this.active].setAttribute("aria-selected", "false");
    this.active = index;
    const cell = this.cells[index];
    cell.tabIndex = 0;
    cell.setAttribute("aria-selected", "true");
    cell.focus();
    this.onSelect(Math.floor(index / COLUMNS), index % COLUMNS);
  }

  private key(e: KeyboardEvent, index: number): void {
    const row = Math.floor(index / COLUMNS);
    const column = index % COLUMNS;
    const moves: Record<string, [number, number]> = {
      ArrowUp: [-1, 0], ArrowDown: [1, 0], ArrowLeft: [0, -1], ArrowRight: [0, 1],
    };
    const move = moves[e.key];
    if (move) {
      e.preventDefault();
      const r = Math.min(ROWS - 1, Math.max(0, row + move[0]));
      const c = Math.min(COLUMNS - 1, Math.max(0, column + move[1]));
      this.focus(r * COLUMNS + c);
    } else if (e.key === "Home" || e.key === "End") {
      e.preventDefault();
      this.focus(row * COLUMNS + (e.key === "Home" ? 0 : COLUMNS - 1));
    } else if (e.key === "Enter") {
      e.preventDefault();
      this.onEdit();
    }
  }
}

// A picture of the strip (pictures.png, one square per picture in the
// core's numbering), hidden from assistive technology: the names say it.
export function pictureElement(): HTMLElement {
  const picture = document.createElement("span");
  picture.className = "picture";
  picture.setAttribute("aria-hidden", "true");
  return picture;
}

export function showPicture(element: HTMLElement, picture: number): void {
  element.style.setProperty("--picture", String(picture));
}
