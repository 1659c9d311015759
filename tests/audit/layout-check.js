// Run by the browser check inside a copy of the audit's page: writes what the
// browser laid out into the page as JSON, for --dump-dom to hand over.
(function () {
  const width = window.innerWidth;
  const scrolls = (element) => {
    for (let up = element.parentElement; up && up !== document.body; up = up.parentElement) {
      const overflow = getComputedStyle(up).overflowX;
      if (overflow === "auto" || overflow === "scroll") return true;
    }
    return false;
  };
  const wide = [];
  for (const element of document.querySelectorAll("body *")) {
    const box = element.getBoundingClientRect();
    if (box.width > 0 && box.right > width + 1 && !scrolls(element)) {
      wide.push(element.tagName + "." + (element.getAttribute("class") || "") + " " + Math.round(box.right));
    }
  }
  const drawn = {};
  for (const rect of document.querySelectorAll("svg.timeline:not(.zoom) g.location rect")) {
    const box = rect.getBoundingClientRect();
    if (box.width <= 0 || box.height <= 0) continue;
    const row = rect.parentElement;
    const day = row.closest("details.day").getAttribute("data-day");
    const key = day + "|" + row.getAttribute("data-location") + "|" + rect.getAttribute("class");
    drawn[key] = (drawn[key] || 0) + Number(rect.getAttribute("data-count") || 1);
  }
  const problems = [...document.querySelectorAll("table.totals th")].find((th) => th.textContent === "Problems");
  const column = problems ? problems.getBoundingClientRect() : null;
  const result = document.createElement("pre");
  result.id = "layout-check";
  result.textContent = JSON.stringify({
    width: width,
    pageWidth: document.documentElement.scrollWidth,
    wide: wide.slice(0, 10),
    problemsVisible: column !== null && column.width > 0 && column.right <= width,
    drawn: drawn,
  });
  document.body.appendChild(result);
})();
