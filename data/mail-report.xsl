<?xml version="1.0" encoding="UTF-8"?>
<!-- The body of the mails the Relayer sends: a print log (the daily report,
     or the test message's document) as a table with its totals. Costs are
     recorded in cents. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="yes"/>
  <xsl:param name="title" select="'Ostrel print report'"/>
  <xsl:param name="intro" select="''"/>

  <xsl:template match="/">
    <html>
      <head>
        <meta http-equiv="Content-Type" content="text/html; charset=UTF-8"/>
        <title><xsl:value-of select="$title"/></title>
      </head>
      <body style="font-family: sans-serif; color: #333333;">
        <h1 style="font-size: 1.3em;"><xsl:value-of select="$title"/></h1>
        <xsl:if test="$intro != ''">
          <p><xsl:value-of select="$intro"/></p>
        </xsl:if>
        <xsl:choose>
          <xsl:when test="log/event">
            <xsl:apply-templates select="log"/>
          </xsl:when>
          <xsl:when test="log">
            <p>No print jobs were recorded.</p>
          </xsl:when>
          <xsl:otherwise>
            <p>The attached document holds no print log.</p>
          </xsl:otherwise>
        </xsl:choose>
        <p style="font-size: 0.8em; color: #777777;">Sent by Ostrel. The log itself is attached.</p>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="log">
    <table cellpadding="4" cellspacing="0" border="1" style="border-collapse: collapse; border-color: #bbbbbb;">
      <tr style="background: #e8e8e8;">
        <th align="left">Date</th>
        <th align="left">Time</th>
        <th align="left">Document</th>
        <th align="left">Printer</th>
        <th align="left">User</th>
        <th align="right">Pages</th>
        <th align="right">Cost</th>
      </tr>
      <xsl:for-each select="event">
        <tr>
          <td><xsl:value-of select="concat(month, '/', day, '/', year)"/></td>
          <td><xsl:value-of select="concat(hour, ':', min)"/></td>
          <td><xsl:value-of select="doc"/></td>
          <td><xsl:value-of select="printer"/></td>
          <td><xsl:value-of select="user"/></td>
          <td align="right"><xsl:value-of select="pages"/></td>
          <td align="right"><xsl:call-template name="money"><xsl:with-param name="cents" select="cost"/></xsl:call-template></td>
        </tr>
      </xsl:for-each>
      <tr style="font-weight: bold;">
        <td colspan="5">
          <xsl:value-of select="count(event)"/>
          <xsl:choose>
            <xsl:when test="count(event) = 1"> job</xsl:when>
            <xsl:otherwise> jobs</xsl:otherwise>
          </xsl:choose>
        </td>
        <td align="right"><xsl:value-of select="sum(event/pages[number(.) = number(.)])"/></td>
        <td align="right">
          <xsl:call-template name="money">
            <xsl:with-param name="cents" select="sum(event/cost[number(.) = number(.)])"/>
          </xsl:call-template>
        </td>
      </tr>
    </table>
  </xsl:template>

  <!-- Cents as units with two decimals; a cost that is no number stays as recorded. -->
  <xsl:template name="money">
    <xsl:param name="cents"/>
    <xsl:choose>
      <xsl:when test="number($cents) = number($cents)">
        <xsl:value-of select="format-number($cents div 100, '0.00')"/>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$cents"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
